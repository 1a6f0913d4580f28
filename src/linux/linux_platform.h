#pragma once
// The Linux desktop: every service of the port, built from the user's session:
// the services every session shares (session bus, accessibility bus,
// notification server, GTK, GIO, logind, processes, files) and those of the
// session's kind (X11, sway, another Wayland compositor), chosen at start-up.

#include <gio/gio.h>

#include <memory>

#include "linux/atspi_accessibility.h"
#include "linux/console.h"
#include "linux/dbus_distributed_center.h"
#include "linux/desktop_session.h"
#include "linux/freedesktop_notifications.h"
#include "linux/glib_application.h"
#include "linux/glib_dispatch.h"
#include "linux/gtk_alerts.h"
#include "linux/logind_apple_events.h"
#include "linux/posix_tasks.h"
#include "linux/user_files.h"
#include "null/null_services.h"
#include "port/platform.h"

namespace zorv::linux_desktop {

class LinuxPlatform {
 public:
  LinuxPlatform();
  ~LinuxPlatform();
  LinuxPlatform(const LinuxPlatform&) = delete;
  LinuxPlatform& operator=(const LinuxPlatform&) = delete;

  // The name on the session bus that the session's one helper owns.
  static constexpr const char* kSessionName = "name.pemu.zorv.helper";

  // Takes kSessionName, before any request can be received. False, after one
  // line on the system log, when another helper owns it. Without a session bus
  // there is nothing to take, and the accessibility check fails later.
  bool ownSessionName();

  port::Platform& platform() { return *platform_; }
  SessionKind sessionKind() const { return session_->kind(); }
  GlibApplication& application() { return application_; }

 private:
  static GDBusConnection* connectSessionBus();
  // Ends the helper with kExitSessionLost, after one line on the system log.
  void sessionLost(const char* what);

  GDBusConnection* sessionBus_;  // null without a session bus
  gulong busClosedHandler_ = 0;
  bool ownsSessionName_ = false;
  Console console_;
  GlibApplication application_;
  GlibDispatch dispatch_;
  std::unique_ptr<DesktopSession> session_;
  AtspiAccessibility accessibility_;
  DBusDistributedCenter distributed_;
  FreedesktopNotifications notifications_;
  GtkAlerts alerts_;
  LogindAppleEvents appleEvents_;
  PosixTasks tasks_;
  UserFiles files_;
  std::unique_ptr<port::Platform> platform_;
};

}  // namespace zorv::linux_desktop
