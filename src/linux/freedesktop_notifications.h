#pragma once
// User notifications through the desktop's notification server
// (org.freedesktop.Notifications on the session bus). There is no authorization
// on this desktop: the request is granted at once, on a worker thread.

#include <gio/gio.h>

#include "port/dispatch.h"
#include "port/user_notifications.h"

namespace zorv::linux_desktop {

class FreedesktopNotifications : public port::UserNotificationCenter {
 public:
  FreedesktopNotifications(GDBusConnection* bus, port::Dispatch& dispatch);
  ~FreedesktopNotifications() override;
  FreedesktopNotifications(const FreedesktopNotifications&) = delete;
  FreedesktopNotifications& operator=(const FreedesktopNotifications&) = delete;

  void requestAuthorization(
      std::uint32_t options,
      std::function<void(bool, std::optional<port::PlatformError>)> completion) override;
  // Summary = title, body = subtitle (empty when there is none). A missing
  // notification server drops the report.
  void addNotificationRequest(const port::NotificationRequest& request) override;

  static constexpr const char* kApplicationName = "zorv-helper";

 private:
  GDBusConnection* bus_;
  port::Dispatch& dispatch_;
};

}  // namespace zorv::linux_desktop
