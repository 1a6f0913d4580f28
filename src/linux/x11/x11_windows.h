#pragma once
// Bringing windows forward through the window manager (EWMH).

#include <optional>
#include <string>

#include "linux/window_focus.h"
#include "linux/x11/x11_display.h"
#include "port/types.h"

namespace zorv::linux_desktop {

// The managed window of `pid` highest in the stacking order, optionally only
// those titled `title`; none when the process has no such window.
std::optional<Window> topWindowOf(const X11Display& display, port::Pid pid,
                                  const std::optional<std::string>& title = std::nullopt);

// The window manager's active window (_NET_ACTIVE_WINDOW) and the process
// that owns it (its _NET_WM_PID): the frontmost application's.
std::optional<Window> activeWindow(const X11Display& display);
std::optional<port::Pid> ownerOf(const X11Display& display, Window window);

// Asks the window manager to activate `window` (a _NET_ACTIVE_WINDOW request
// as a pager sends it). False when the window no longer exists.
bool activateWindow(const X11Display& display, Window window);

// The window manager's active window and its changes (PropertyNotify of
// _NET_ACTIVE_WINDOW on the root window).
class X11WindowFocus : public WindowFocus {
 public:
  explicit X11WindowFocus(X11Display& display);
  ~X11WindowFocus() override { display_.removeEventListener(listener_); }
  X11WindowFocus(const X11WindowFocus&) = delete;
  X11WindowFocus& operator=(const X11WindowFocus&) = delete;
  std::optional<FocusedWindow> focusedWindow() override;

 private:
  X11Display& display_;
  std::uint64_t listener_ = 0;
};

}  // namespace zorv::linux_desktop
