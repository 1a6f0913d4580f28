#include "linux/glib_application.h"

#include <glib-unix.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace zorv::linux_desktop {

GlibApplication::GlibApplication() : loop_(g_main_loop_new(nullptr, FALSE)) {}

GlibApplication::~GlibApplication() {
  for (guint source : signalSources_) {
    if (source != 0) g_source_remove(source);
  }
  g_main_loop_unref(loop_);
}

int GlibApplication::run(port::ApplicationDelegate& delegate) {
  delegate_ = &delegate;
  auto onSignal = [](gpointer self) -> gboolean {
    static_cast<GlibApplication*>(self)->terminate();
    return G_SOURCE_CONTINUE;
  };
  signalSources_[0] = g_unix_signal_add(SIGTERM, onSignal, this);
  signalSources_[1] = g_unix_signal_add(SIGINT, onSignal, this);
  // Launching finishes inside the loop, as it does on the platform.
  g_idle_add_full(
      G_PRIORITY_HIGH,
      [](gpointer self) -> gboolean {
        auto* app = static_cast<GlibApplication*>(self);
        if (!app->terminating_) app->delegate_->applicationDidFinishLaunching();
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
  if (!terminating_) g_main_loop_run(loop_);
  return exitStatus_;
}

void GlibApplication::terminateWithStatus(int status) {
  if (terminating_) return;
  exitStatus_ = status;
  terminate();
}

void GlibApplication::terminate() {
  if (terminating_) return;
  terminating_ = true;
  if (delegate_) delegate_->applicationWillTerminate();
  if (g_main_depth() > 1) {
    // Inside a nested loop (a modal alert is open): the outer loop would only
    // end once the user dismissed it, so end the process here.
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(exitStatus_);
  }
  g_main_loop_quit(loop_);
}

}  // namespace zorv::linux_desktop
