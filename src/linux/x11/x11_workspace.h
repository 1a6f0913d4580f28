#pragma once
// The workspace on an X11 desktop with an EWMH window manager: the frontmost
// application owns the active window (_NET_ACTIVE_WINDOW, _NET_WM_PID), and an
// application becomes active when the active window changes to another process.

#include <optional>
#include <string>
#include <vector>

#include "linux/session_workspace.h"
#include "linux/x11/x11_display.h"
#include "linux/x11/x11_windows.h"

namespace zorv::linux_desktop {

class X11Workspace : public SessionWorkspace {
 public:
  // `display` and `focus` may be null (no X server): no application is then
  // frontmost or running, and no activation is ever posted.
  X11Workspace(X11Display* display, X11WindowFocus* focus, port::Dispatch& dispatch);
  ~X11Workspace() override;

  port::RunningApplicationRef frontmostApplication() override;
  std::vector<port::RunningApplicationRef> runningApplications() override;
  port::RunningApplicationRef runningApplicationWithProcessIdentifier(port::Pid pid) override;

 private:
  port::RunningApplicationRef application(port::Pid pid, std::optional<Window> window);

  X11Display* display_;
  X11WindowFocus* focus_;
  std::uint64_t listener_ = 0;
};

}  // namespace zorv::linux_desktop
