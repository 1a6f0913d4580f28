#include "linux/atspi_accessibility.h"

#include <string>

namespace zorv::linux_desktop {
namespace {

// Reading and changing other applications' elements is mapped onto AT-SPI
// separately; until then every element call answers "not implemented".
constexpr port::StatusCode kNotImplemented = -25208;
constexpr int kBusTimeoutMs = 5000;

class PidElement : public port::Element {
 public:
  explicit PidElement(port::Pid pid) : pid_(pid) {}
  bool equals(const port::Element& other) const override {
    const auto* o = dynamic_cast<const PidElement*>(&other);
    return o && o->pid_ == pid_;
  }
  std::size_t hash() const override { return std::hash<port::Pid>{}(pid_); }
  std::string description() const override {
    return "<AXUIElement {pid=" + std::to_string(pid_) + "}>";
  }

 private:
  port::Pid pid_;
};

}  // namespace

AtspiAccessibility::AtspiAccessibility(GDBusConnection* sessionBus)
    : sessionBus_(sessionBus ? G_DBUS_CONNECTION(g_object_ref(sessionBus)) : nullptr) {}

AtspiAccessibility::~AtspiAccessibility() {
  if (sessionBus_) g_object_unref(sessionBus_);
}

bool AtspiAccessibility::isProcessTrustedWithOptions(bool prompt) {
  bool trusted = false;
  if (sessionBus_) {
    GVariant* reply = g_dbus_connection_call_sync(
        sessionBus_, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
        G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs, nullptr, nullptr);
    if (reply) {
      const gchar* address = nullptr;
      g_variant_get(reply, "(&s)", &address);
      GDBusConnection* a11y = nullptr;
      if (address && *address) {
        a11y = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
      }
      if (a11y) {
        trusted = true;
        g_dbus_connection_close_sync(a11y, nullptr, nullptr);
        g_object_unref(a11y);
      }
      g_variant_unref(reply);
    }
    if (prompt) {
      GVariant* done = g_dbus_connection_call_sync(
          sessionBus_, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
          g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)),
          nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusTimeoutMs, nullptr, nullptr);
      if (done) g_variant_unref(done);
    }
  }
  if (!trusted && onUntrusted_) onUntrusted_();
  return trusted;
}

port::ElementRef AtspiAccessibility::createApplication(port::Pid pid) {
  return std::make_shared<PidElement>(pid);
}
port::ElementRef AtspiAccessibility::createSystemWide() {
  return std::make_shared<PidElement>(-1);
}
port::AXResult<std::vector<std::string>> AtspiAccessibility::copyAttributeNames(
    const port::ElementRef&) {
  return {kNotImplemented, {}};
}
port::AXResult<port::Value> AtspiAccessibility::copyAttributeValue(const port::ElementRef&,
                                                                   const std::string&) {
  return {kNotImplemented, {}};
}
port::AXResult<port::Array> AtspiAccessibility::copyAttributeValues(const port::ElementRef&,
                                                                    const std::string&,
                                                                    std::int64_t, std::int64_t) {
  return {kNotImplemented, {}};
}
port::AXResult<std::int64_t> AtspiAccessibility::getAttributeValueCount(const port::ElementRef&,
                                                                        const std::string&) {
  return {kNotImplemented, 0};
}
port::AXResult<bool> AtspiAccessibility::isAttributeSettable(const port::ElementRef&,
                                                             const std::string&) {
  return {kNotImplemented, false};
}
port::StatusCode AtspiAccessibility::setAttributeValue(const port::ElementRef&, const std::string&,
                                                       const port::Value&) {
  return kNotImplemented;
}
port::AXResult<port::Array> AtspiAccessibility::copyMultipleAttributeValues(
    const port::ElementRef&, const std::vector<std::string>&, std::uint32_t) {
  return {kNotImplemented, {}};
}
port::AXResult<std::vector<std::string>> AtspiAccessibility::copyParameterizedAttributeNames(
    const port::ElementRef&) {
  return {kNotImplemented, {}};
}
port::AXResult<port::Value> AtspiAccessibility::copyParameterizedAttributeValue(
    const port::ElementRef&, const std::string&, const port::Value&) {
  return {kNotImplemented, {}};
}
port::AXResult<std::vector<std::string>> AtspiAccessibility::copyActionNames(
    const port::ElementRef&) {
  return {kNotImplemented, {}};
}
port::AXResult<std::string> AtspiAccessibility::copyActionDescription(const port::ElementRef&,
                                                                      const std::string&) {
  return {kNotImplemented, {}};
}
port::StatusCode AtspiAccessibility::performAction(const port::ElementRef&, const std::string&) {
  return kNotImplemented;
}
port::AXResult<port::Pid> AtspiAccessibility::getPid(const port::ElementRef&) {
  return {kNotImplemented, -1};
}
port::StatusCode AtspiAccessibility::setMessagingTimeout(const port::ElementRef&, float) {
  return kNotImplemented;
}
port::AXResult<port::ElementRef> AtspiAccessibility::copyElementAtPosition(const port::ElementRef&,
                                                                           float, float) {
  return {kNotImplemented, nullptr};
}
port::AXResult<std::unique_ptr<port::AXObserver>> AtspiAccessibility::createObserver(
    port::Pid, bool, port::AXObserverCallback) {
  return {kNotImplemented, nullptr};
}

}  // namespace zorv::linux_desktop
