#pragma once
// The application main loop on GLib. SIGTERM and SIGINT end the process through
// the same path as terminate(), so the delegate hears applicationWillTerminate.

#include <glib.h>

#include "port/application.h"

namespace zorv::linux_desktop {

// Exit status when the helper ends because it may not use the accessibility
// interface: EX_NOPERM, which a service manager can tell from a crash.
inline constexpr int kExitNoPermission = 77;
// Exit status when the desktop session went away under the helper (its session
// bus or its X server): EX_UNAVAILABLE, a failure, so that the service manager
// starts it again with the next session.
inline constexpr int kExitSessionLost = 69;
// Exit status of a second helper in a session where one runs already
// (EX_CANTCREAT: the session's one helper cannot be created twice). A service
// manager must not start it again.
inline constexpr int kExitAnotherHelper = 73;

class GlibApplication : public port::Application {
 public:
  GlibApplication();
  ~GlibApplication() override;
  GlibApplication(const GlibApplication&) = delete;
  GlibApplication& operator=(const GlibApplication&) = delete;

  int run(port::ApplicationDelegate& delegate) override;
  void terminate() override;

  // The status run() returns when the application terminates from now on.
  void setExitStatus(int status) { exitStatus_ = status; }
  // Terminates with `status`, unless the application is terminating already.
  void terminateWithStatus(int status);

 private:
  GMainLoop* loop_;
  port::ApplicationDelegate* delegate_ = nullptr;
  bool terminating_ = false;
  int exitStatus_ = 0;
  guint signalSources_[2] = {0, 0};
};

}  // namespace zorv::linux_desktop
