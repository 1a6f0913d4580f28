// The helper's process entry: the Linux desktop, one application delegate, and
// the main loop until the helper is told to quit. No argument is interpreted.

#include <glib.h>

#include "helper/app_delegate.h"
#include "linux/linux_platform.h"

int main(int, char**) {
  g_set_prgname("zorv-helper");
  zorv::linux_desktop::LinuxPlatform desktop;
  // One helper per session, or every request would be carried out twice.
  if (!desktop.ownSessionName()) return zorv::linux_desktop::kExitAnotherHelper;
  zorv::helper::AppDelegate delegate(desktop.platform());
  return desktop.platform().application.run(delegate);
}
