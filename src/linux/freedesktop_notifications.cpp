#include "linux/freedesktop_notifications.h"

namespace zorv::linux_desktop {

FreedesktopNotifications::FreedesktopNotifications(GDBusConnection* bus, port::Dispatch& dispatch)
    : bus_(bus ? G_DBUS_CONNECTION(g_object_ref(bus)) : nullptr), dispatch_(dispatch) {}

FreedesktopNotifications::~FreedesktopNotifications() {
  if (bus_) g_object_unref(bus_);
}

void FreedesktopNotifications::requestAuthorization(
    std::uint32_t, std::function<void(bool, std::optional<port::PlatformError>)> completion) {
  dispatch_.asyncGlobal([completion = std::move(completion)] { completion(true, std::nullopt); });
}

void FreedesktopNotifications::addNotificationRequest(const port::NotificationRequest& request) {
  if (!bus_) return;
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  if (request.content.defaultSound) {
    // The sound theme's name for an ordinary notification.
    g_variant_builder_add(&hints, "{sv}", "sound-name",
                          g_variant_new_string("message-new-instant"));
  }
  const std::string body = request.content.subtitle.value_or("");
  GVariant* parameters =
      g_variant_new("(susssasa{sv}i)", kApplicationName, 0u /* never replace */, "",
                    request.content.title.c_str(), body.c_str(), nullptr, &hints, -1);
  // The outcome is not looked at; without a server the call simply fails.
  g_dbus_connection_call(bus_, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                         "org.freedesktop.Notifications", "Notify", parameters, nullptr,
                         G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

}  // namespace zorv::linux_desktop
