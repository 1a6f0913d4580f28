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

X11WindowFocus::X11WindowFocus(X11Display& display) : display_(display) {
  XWindowAttributes attributes;
  if (!display_.connectionLost() &&
      XGetWindowAttributes(display_.get(), display_.root(), &attributes)) {
    XSelectInput(display_.get(), display_.root(), attributes.your_event_mask | PropertyChangeMask);
  }
  listener_ = display_.addEventListener([this](const XEvent& event) {
    if (event.type != PropertyNotify || event.xproperty.window != display_.root() ||
        event.xproperty.atom != display_.atom("_NET_ACTIVE_WINDOW")) {
      return;
    }
    if (auto window = focusedWindow()) focused(*window);
  });
}

std::optional<FocusedWindow> X11WindowFocus::focusedWindow() {
  auto window = activeWindow(display_);
  auto pid = window ? ownerOf(display_, *window) : std::nullopt;
  if (!pid) return std::nullopt;
  auto title = display_.stringProperty(*window, "_NET_WM_NAME");
  if (!title) title = display_.stringProperty(*window, "WM_NAME");
  return FocusedWindow{*pid, std::move(title)};
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
