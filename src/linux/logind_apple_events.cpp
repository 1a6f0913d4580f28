#include "linux/logind_apple_events.h"

#include <gio/gio.h>

#include <limits>

namespace zorv::linux_desktop {
namespace {

constexpr port::FourCharCode kTypeProcessSerialNumber = port::fourCharCode("psn ");
constexpr port::FourCharCode kCoreEventClass = port::fourCharCode("aevt");
constexpr port::FourCharCode kAESleep = port::fourCharCode("slep");
constexpr std::int64_t kDefaultTimeout = -1;
constexpr std::int64_t kNoTimeout = -2;

// kSystemProcess: high half 0, low half 1.
const std::vector<std::uint8_t> kSystemProcess = {0, 0, 0, 0, 0, 0, 0, 1};

int timeoutMilliseconds(std::int64_t ticks) {
  if (ticks == kDefaultTimeout) return -1;  // the bus library's default
  if (ticks == kNoTimeout) return std::numeric_limits<int>::max();
  if (ticks <= 0) return 1;
  const std::int64_t ms = ticks * 1000 / 60;
  return ms > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : int(ms);
}

// logind's method for a core event to the system process.
const char* logindMethod(port::FourCharCode eventClass, port::FourCharCode eventID) {
  if (eventClass == kCoreEventClass && eventID == kAESleep) return "Suspend";
  return nullptr;
}

port::StatusCode callLogind(const char* method, int timeoutMs) {
  GError* error = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (!address) {
    g_error_free(error);
    return kConnectionInvalid;
  }
  // A connection of its own: the shared one would end the process if the bus
  // went away.
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  g_free(address);
  if (!bus) {
    g_error_free(error);
    return kConnectionInvalid;
  }
  // interactive = false: never wait for someone to type a password.
  GVariant* result = g_dbus_connection_call_sync(
      bus, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
      method, g_variant_new("(b)", FALSE), nullptr, G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr,
      &error);
  port::StatusCode status = port::kSuccess;
  if (result) {
    g_variant_unref(result);
  } else {
    gchar* name = g_dbus_error_get_remote_error(error);
    status = LogindAppleEvents::statusForBusError(
        name ? name : "", g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT));
    g_free(name);
    g_error_free(error);
  }
  g_dbus_connection_close_sync(bus, nullptr, nullptr);
  g_object_unref(bus);
  return status;
}

}  // namespace

port::StatusCode LogindAppleEvents::statusForBusError(const std::string& errorName, bool timedOut) {
  if (timedOut || errorName == "org.freedesktop.DBus.Error.NoReply" ||
      errorName == "org.freedesktop.DBus.Error.Timeout") {
    return kErrAETimeout;
  }
  if (errorName == "org.freedesktop.DBus.Error.ServiceUnknown" ||
      errorName == "org.freedesktop.DBus.Error.NameHasNoOwner") {
    return kProcNotFound;
  }
  if (errorName == "org.freedesktop.DBus.Error.AccessDenied" ||
      errorName == "org.freedesktop.DBus.Error.AuthFailed" ||
      errorName == "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired") {
    return kErrAEPrivilegeError;
  }
  // Not an answer at all: the connection broke.
  if (errorName.empty()) return kConnectionInvalid;
  // logind (or the bus for it) answered and refused.
  return kErrAEEventNotHandled;
}

port::DescriptorResult LogindAppleEvents::createDesc(port::FourCharCode type,
                                                     const std::vector<std::uint8_t>& data) {
  std::lock_guard lock(mutex_);
  const auto id = next_++;
  Descriptor descriptor;
  descriptor.type = type;
  descriptor.data = data;
  descriptors_[id] = std::move(descriptor);
  return {port::kSuccess, id};
}

port::DescriptorResult LogindAppleEvents::createAppleEvent(port::FourCharCode eventClass,
                                                           port::FourCharCode eventID,
                                                           port::DescriptorId target, std::int16_t,
                                                           std::int32_t) {
  std::lock_guard lock(mutex_);
  const auto found = descriptors_.find(target);
  if (found == descriptors_.end() || found->second.isEvent) return {kErrAENotAEDesc, 0};
  Descriptor event;
  event.isEvent = true;
  event.eventClass = eventClass;
  event.eventID = eventID;
  // The event keeps its own copy of the target.
  event.targetType = found->second.type;
  event.targetData = found->second.data;
  const auto id = next_++;
  descriptors_[id] = std::move(event);
  return {port::kSuccess, id};
}

port::StatusCode LogindAppleEvents::sendMessage(port::DescriptorId eventId,
                                                port::DescriptorId& reply, std::int32_t,
                                                std::int64_t timeoutTicks) {
  reply = 0;
  Descriptor event;
  {
    std::lock_guard lock(mutex_);
    const auto found = descriptors_.find(eventId);
    if (found == descriptors_.end() || !found->second.isEvent) return kErrAENotAEDesc;
    event = found->second;
  }
  // Only the system process can be reached, and logind is its stand-in.
  if (event.targetType != kTypeProcessSerialNumber || event.targetData != kSystemProcess) {
    return kProcNotFound;
  }
  const char* method = logindMethod(event.eventClass, event.eventID);
  if (!method) return kErrAEEventNotHandled;
  return callLogind(method, timeoutMilliseconds(timeoutTicks));
}

port::StatusCode LogindAppleEvents::disposeDesc(port::DescriptorId descriptor) {
  if (descriptor == 0) return port::kSuccess;
  std::lock_guard lock(mutex_);
  return descriptors_.erase(descriptor) ? port::kSuccess : kErrAENotAEDesc;
}

std::size_t LogindAppleEvents::liveDescriptors() const {
  std::lock_guard lock(mutex_);
  return descriptors_.size();
}

}  // namespace zorv::linux_desktop
