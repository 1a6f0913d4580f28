#include "linux/atspi/atspi_bus.h"

#include <unistd.h>

#include <algorithm>
#include <string_view>

namespace zorv::linux_desktop {
namespace {

constexpr port::StatusCode kFailure = -25200;
constexpr port::StatusCode kInvalidUIElement = -25202;
constexpr port::StatusCode kCannotComplete = -25204;
constexpr port::StatusCode kAPIDisabled = -25211;
constexpr std::size_t kCallsInFlight = 64;

port::StatusCode codeFor(const GError* error, port::StatusCode unsupported) {
  if (error->domain == G_IO_ERROR) {
    switch (error->code) {
      case G_IO_ERROR_TIMED_OUT:
        return kCannotComplete;
      case G_IO_ERROR_CLOSED:
        return kAPIDisabled;
      default:
        break;
    }
  }
  if (error->domain == G_DBUS_ERROR) {
    switch (error->code) {
      case G_DBUS_ERROR_SERVICE_UNKNOWN:
      case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
      case G_DBUS_ERROR_UNKNOWN_OBJECT:
      case G_DBUS_ERROR_DISCONNECTED:
        return kInvalidUIElement;  // the application or the object is gone
      case G_DBUS_ERROR_NO_REPLY:
      case G_DBUS_ERROR_TIMEOUT:
      case G_DBUS_ERROR_TIMED_OUT:
        return kCannotComplete;
      case G_DBUS_ERROR_UNKNOWN_METHOD:
      case G_DBUS_ERROR_UNKNOWN_INTERFACE:
      case G_DBUS_ERROR_UNKNOWN_PROPERTY:
        return unsupported;
      default:
        break;
    }
  }
  return kFailure;
}

// The call's own time-out ran out. Not NoReply: the bus sends that also when
// the peer quits in the middle of a call.
bool timedOut(const GError* error) {
  return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMED_OUT);
}

// Whether a method only reads: AT-SPI's readers are all named Get...
bool reads(const char* method) {
  return std::string_view(method).starts_with("Get");
}

void consume(GVariant* parameters) {
  if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
}

}  // namespace

struct AtspiBus::Ping {
  AtspiBus* owner;
  std::string bus;
};

AtspiBus::AtspiBus(GDBusConnection* sessionBus)
    : sessionBus_(sessionBus ? G_DBUS_CONNECTION(g_object_ref(sessionBus)) : nullptr),
      pings_(g_main_context_new()),
      cancel_(g_cancellable_new()) {}

AtspiBus::~AtspiBus() {
  // Every ping's callback runs before this object goes: a cancelled call
  // completes at once on the pings' context.
  g_cancellable_cancel(cancel_);
  while (!pingsInFlight_.empty()) g_main_context_iteration(pings_, TRUE);
  g_object_unref(cancel_);
  g_main_context_unref(pings_);
  if (forgetSource_) g_source_remove(forgetSource_);
  if (bus_) g_object_unref(bus_);
  if (sessionBus_) g_object_unref(sessionBus_);
}

bool AtspiBus::connect() {
  if (bus_ && !g_dbus_connection_is_closed(bus_)) return true;
  if (bus_) {
    g_object_unref(bus_);
    bus_ = nullptr;
    pids_.clear();
    registeredEvents_.clear();
    unresponsive_.clear();
    busy_.clear();
    ++changes_;
  }
  if (!sessionBus_) return false;
  GVariant* reply = g_dbus_connection_call_sync(
      sessionBus_, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
      G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  if (!reply) return false;
  const gchar* address = nullptr;
  g_variant_get(reply, "(&s)", &address);
  if (address && *address) {
    bus_ = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (bus_) {
      g_dbus_connection_set_exit_on_close(bus_, FALSE);
      ++connections_;
    }
  }
  g_variant_unref(reply);
  return bus_ != nullptr;
}

std::optional<port::StatusCode> AtspiBus::refused(const AtspiRef& ref, int timeoutMs) {
  if (!connect()) return kAPIDisabled;
  if (ref.bus.empty() || (ref.connection != 0 && ref.connection != connections_)) {
    return kInvalidUIElement;
  }
  // The helper's own alerts are on the bus too. Its toolkit answers on the main
  // thread, which is the one waiting here: a call to itself would only time out.
  if (ref.bus.starts_with(':') && pidOf(ref.bus, timeoutMs) == static_cast<port::Pid>(getpid())) {
    return kCannotComplete;
  }
  if (unresponsive_.contains(ref.bus) || busy(ref.bus)) return kCannotComplete;
  return std::nullopt;
}

AtspiReply AtspiBus::failed(GError* error, const std::string& bus, port::StatusCode unsupported) {
  auto code = codeFor(error, unsupported);
  if (timedOut(error)) markUnresponsive(bus);
  g_error_free(error);
  return {code, nullptr};
}

// Calls go through the bus, never over an application's own socket: asking
// for its address (GetApplicationBusAddress) makes the helper a client of the
// application's accessibility bridge, which then hands every key press to the
// registry synchronously, and that freezes an application held by a modal
// dialog that a press opened.
AtspiReply AtspiBus::call(const AtspiRef& ref, const char* interface, const char* method,
                          GVariant* parameters, const GVariantType* replyType, int timeoutMs,
                          port::StatusCode unsupported) {
  if (auto code = refused(ref, timeoutMs)) {
    consume(parameters);
    return {*code, nullptr};
  }
  if (!reads(method)) ++changes_;
  GError* error = nullptr;
  // Auto-start on: a registry that has died is activated again by the bus, as
  // for any AT-SPI client, and finds the applications still on the bus. An
  // application is called by its unique name, which no bus ever activates.
  GVariant* reply = g_dbus_connection_call_sync(bus_, ref.bus.c_str(), ref.path.c_str(), interface,
                                                method, parameters, replyType,
                                                G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, &error);
  if (!reply) return failed(error, ref.bus, unsupported);
  return {0, VariantPtr(reply)};
}

std::vector<AtspiReply> AtspiBus::callMany(std::vector<AtspiCall> calls, int timeoutMs) {
  struct Slot {
    std::size_t* waiting = nullptr;
    GVariant* reply = nullptr;
    GError* error = nullptr;
  };
  std::vector<AtspiReply> replies(calls.size());
  std::vector<Slot> slots(calls.size());
  std::size_t waiting = 0;
  // The replies are dispatched in the context that was the thread's default
  // when each call was made: this one, which nothing else uses.
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  auto send = [&](std::size_t i) {
    auto& c = calls[i];
    if (auto code = refused(c.ref, timeoutMs)) {
      consume(c.parameters);
      replies[i].code = *code;
      return;
    }
    if (!reads(c.method)) ++changes_;
    slots[i].waiting = &waiting;
    ++waiting;
    g_dbus_connection_call(
        bus_, c.ref.bus.c_str(), c.ref.path.c_str(), c.interface, c.method, c.parameters,
        c.replyType, G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          auto* slot = static_cast<Slot*>(data);
          slot->reply =
              g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &slot->error);
          --*slot->waiting;
        },
        &slots[i]);
  };
  // A window of calls in flight: enough to keep the application busy, and no
  // long queues (the bus daemon looks a reply up among all pending ones).
  std::size_t next = 0;
  while (next < calls.size() || waiting > 0) {
    while (next < calls.size() && waiting < kCallsInFlight) send(next++);
    if (waiting > 0) g_main_context_iteration(context, TRUE);
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (slots[i].reply) {
      replies[i] = {0, VariantPtr(slots[i].reply)};
    } else if (slots[i].error) {
      replies[i] = failed(slots[i].error, calls[i].ref.bus, calls[i].unsupported);
    }
  }
  return replies;
}

void AtspiBus::markUnresponsive(const std::string& bus) {
  unresponsive_.insert(bus);
  if (forgetSource_) return;
  // Calls block the main loop, so this runs only once the work that made them
  // has returned to it; its priority puts it before the next queued request.
  forgetSource_ = g_idle_add_full(
      G_PRIORITY_HIGH,
      [](gpointer self) {
        static_cast<AtspiBus*>(self)->forgetUnresponsive();
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
}

void AtspiBus::forgetUnresponsive() {
  forgetSource_ = 0;
  unresponsive_.clear();
}

bool AtspiBus::settle(const std::string& bus, int waitMs) {
  if (!connect() || bus.empty()) return true;
  if (busy(bus)) return false;
  // The bus daemon delivers the ping after every earlier message of this
  // connection, so the application reads it only once it has returned from
  // what those asked of it. libdbus (and every other D-Bus library) answers
  // org.freedesktop.DBus.Peer.Ping itself, on any path.
  g_main_context_push_thread_default(pings_);
  g_dbus_connection_call(bus_, bus.c_str(), kRootPath, "org.freedesktop.DBus.Peer", "Ping", nullptr,
                         nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, G_MAXINT, cancel_,
                         &AtspiBus::onPingAnswered, new Ping{this, bus});
  g_main_context_pop_thread_default(pings_);
  ++pingsInFlight_[bus];
  busy_.insert(bus);

  bool expired = false;
  GSource* timer = g_timeout_source_new(static_cast<guint>(std::max(waitMs, 0)));
  g_source_set_callback(
      timer,
      [](gpointer flag) {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &expired, nullptr);
  g_source_attach(timer, pings_);
  while (busy_.contains(bus) && !expired) g_main_context_iteration(pings_, TRUE);
  g_source_destroy(timer);
  g_source_unref(timer);
  return !busy_.contains(bus);
}

bool AtspiBus::busy(const std::string& bus) {
  if (!busy_.contains(bus)) return false;
  while (g_main_context_iteration(pings_, FALSE)) {
  }
  return busy_.contains(bus);
}

void AtspiBus::onPingAnswered(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Ping> ping(static_cast<Ping*>(data));
  // Any outcome ends the wait: an answer, an error (the application is gone,
  // or does not answer pings at all) or the cancellation when this object goes.
  GError* error = nullptr;
  if (GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error)) {
    g_variant_unref(reply);
  }
  if (error) g_error_free(error);
  auto& owner = *ping->owner;
  if (auto it = owner.pingsInFlight_.find(ping->bus);
      it != owner.pingsInFlight_.end() && --it->second == 0) {
    owner.pingsInFlight_.erase(it);
    owner.busy_.erase(ping->bus);
  }
}

AtspiReply AtspiBus::property(const AtspiRef& ref, const char* interface, const char* name,
                              int timeoutMs) {
  auto reply =
      call(ref, "org.freedesktop.DBus.Properties", "Get", g_variant_new("(ss)", interface, name),
           G_VARIANT_TYPE("(v)"), timeoutMs, -25205);
  if (!reply.ok()) return reply;
  GVariant* inner = nullptr;
  g_variant_get(reply.value.get(), "(v)", &inner);
  return {0, VariantPtr(inner)};
}

std::vector<AtspiRef> AtspiBus::applications(int timeoutMs) {
  std::vector<AtspiRef> apps;
  auto reply = call({"org.a11y.atspi.Registry", kRootPath}, "org.a11y.atspi.Accessible",
                    "GetChildren", nullptr, G_VARIANT_TYPE("(a(so))"), timeoutMs, kFailure);
  if (!reply.ok()) return apps;
  GVariantIter* iter = nullptr;
  g_variant_get(reply.value.get(), "(a(so))", &iter);
  const gchar* bus = nullptr;
  const gchar* path = nullptr;
  while (g_variant_iter_next(iter, "(&s&o)", &bus, &path)) apps.push_back(object(bus, path));
  g_variant_iter_free(iter);
  return apps;
}

std::optional<port::Pid> AtspiBus::pidOf(const std::string& bus, int timeoutMs) {
  if (auto it = pids_.find(bus); it != pids_.end()) return it->second;
  auto reply = call({"org.freedesktop.DBus", "/org/freedesktop/DBus"}, "org.freedesktop.DBus",
                    "GetConnectionUnixProcessID", g_variant_new("(s)", bus.c_str()),
                    G_VARIANT_TYPE("(u)"), timeoutMs, kFailure);
  if (!reply.ok()) return std::nullopt;
  guint32 pid = 0;
  g_variant_get(reply.value.get(), "(u)", &pid);
  pids_[bus] = static_cast<port::Pid>(pid);
  return static_cast<port::Pid>(pid);
}

void AtspiBus::registerEvent(const std::string& listener) {
  if (!connect() || registeredEvents_.contains(listener)) return;
  auto reply = call({"org.a11y.atspi.Registry", "/org/a11y/atspi/registry"},
                    "org.a11y.atspi.Registry", "RegisterEvent",
                    g_variant_new("(s@ass)", listener.c_str(), g_variant_new_strv(nullptr, 0), ""),
                    nullptr, 5000, kFailure);
  if (reply.ok()) registeredEvents_.insert(listener);
}

std::optional<AtspiRef> AtspiBus::applicationOf(port::Pid pid, int timeoutMs) {
  for (const auto& app : applications(timeoutMs)) {
    if (pidOf(app.bus, timeoutMs) == pid) return AtspiRef{app.bus, kRootPath, app.connection};
  }
  return std::nullopt;
}

}  // namespace zorv::linux_desktop
