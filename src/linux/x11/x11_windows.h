#pragma once
// Bringing windows forward through the window manager (EWMH).

#include <optional>
#include <string>

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

}  // namespace zorv::linux_desktop
