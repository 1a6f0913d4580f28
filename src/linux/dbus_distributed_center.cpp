#include "linux/dbus_distributed_center.h"

#include <algorithm>

namespace zorv::linux_desktop {

DBusDistributedCenter::DBusDistributedCenter(GDBusConnection* bus)
    : bus_(bus ? G_DBUS_CONNECTION(g_object_ref(bus)) : nullptr) {}

DBusDistributedCenter::~DBusDistributedCenter() {
  for (auto* r : registrations_) release(r);
  if (bus_) g_object_unref(bus_);
}

void DBusDistributedCenter::release(Registration* registration) {
  if (bus_ && registration->subscription != 0) {
    // GDBus frees the registration once no callback can run any more.
    g_dbus_connection_signal_unsubscribe(bus_, registration->subscription);
  } else {
    delete registration;
  }
}

port::Notification DBusDistributedCenter::notificationFromSignal(const std::string& name,
                                                                 GVariant* parameters) {
  port::Notification notification{name, std::nullopt, std::nullopt};
  if (parameters && g_variant_is_of_type(parameters, G_VARIANT_TYPE_TUPLE) &&
      g_variant_n_children(parameters) > 0) {
    GVariant* first = g_variant_get_child_value(parameters, 0);
    if (g_variant_is_of_type(first, G_VARIANT_TYPE_STRING)) {
      gsize length = 0;
      const gchar* text = g_variant_get_string(first, &length);
      notification.object = std::string(text, length);
    } else {
      gchar* printed = g_variant_print(first, TRUE);
      notification.object = port::OpaqueObject{printed};
      g_free(printed);
    }
    g_variant_unref(first);
  }
  return notification;
}

void DBusDistributedCenter::addObserver(port::ObserverToken observer, const std::string& name,
                                        port::SuspensionBehavior,
                                        std::function<void(const port::Notification&)> handler) {
  // Every signal is delivered as soon as the main loop sees it: the helper has no
  // "inactive" state to suspend delivery in.
  auto* registration = new Registration{observer, name, std::move(handler), 0};
  registrations_.push_back(registration);
  const auto dot = name.rfind('.');
  if (!bus_ || dot == std::string::npos) return;
  const std::string interface = name.substr(0, dot);
  const std::string member = name.substr(dot + 1);
  registration->subscription = g_dbus_connection_signal_subscribe(
      bus_, nullptr, interface.c_str(), member.c_str(), nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar*, const gchar* interfaceName,
         const gchar* signalName, GVariant* parameters, gpointer data) {
        auto* r = static_cast<Registration*>(data);
        r->handler(
            notificationFromSignal(std::string(interfaceName) + "." + signalName, parameters));
      },
      registration, [](gpointer data) { delete static_cast<Registration*>(data); });
}

void DBusDistributedCenter::removeObserver(port::ObserverToken observer) {
  auto removed = std::stable_partition(registrations_.begin(), registrations_.end(),
                                       [&](Registration* r) { return r->observer != observer; });
  for (auto it = removed; it != registrations_.end(); ++it) release(*it);
  registrations_.erase(removed, registrations_.end());
}

}  // namespace zorv::linux_desktop
