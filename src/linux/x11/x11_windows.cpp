#include "linux/x11/x11_windows.h"

namespace zorv::linux_desktop {

std::optional<Window> topWindowOf(const X11Display& display, port::Pid pid,
                                  const std::optional<std::string>& title) {
  auto stacking = display.cardinalListProperty(display.root(), "_NET_CLIENT_LIST_STACKING");
  if (stacking.empty()) stacking = display.cardinalListProperty(display.root(), "_NET_CLIENT_LIST");
  // Bottom to top: the last match is the one the user saw last.
  std::optional<Window> found;
  for (auto window : stacking) {
    auto owner = display.cardinalProperty(Window(window), "_NET_WM_PID");
    if (!owner || static_cast<port::Pid>(*owner) != pid) continue;
    if (title) {
      auto name = display.stringProperty(Window(window), "_NET_WM_NAME");
      if (!name) name = display.stringProperty(Window(window), "WM_NAME");
      if (name != title) continue;
    }
    found = Window(window);
  }
  return found;
}

std::optional<Window> activeWindow(const X11Display& display) {
  auto window = display.cardinalProperty(display.root(), "_NET_ACTIVE_WINDOW");
  if (!window || *window == None) return std::nullopt;
  return Window(*window);
}

std::optional<port::Pid> ownerOf(const X11Display& display, Window window) {
  auto pid = display.cardinalProperty(window, "_NET_WM_PID");
  if (!pid) return std::nullopt;
  return static_cast<port::Pid>(*pid);
}

bool activateWindow(const X11Display& display, Window window) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display.get(), window, &attributes)) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = display.atom("_NET_ACTIVE_WINDOW");
  event.xclient.format = 32;
  event.xclient.data.l[0] = 2;  // a pager's request: honoured without focus-stealing checks
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display.get(), display.root(), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display.get());
  return true;
}

}  // namespace zorv::linux_desktop
