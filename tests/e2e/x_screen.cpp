#include "x_screen.h"

#include <X11/Xlib.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace zorv::e2e {

struct Screen::Connection {
  Display* display;

  std::vector<unsigned long> property(Window window, const char* name) {
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False,
                           AnyPropertyType, &type, &format, &count, &remaining, &data) == Success &&
        data && format == 32) {
      auto* items = reinterpret_cast<unsigned long*>(data);
      values.assign(items, items + count);
    }
    if (data) XFree(data);
    return values;
  }
  std::string title(Window window) {
    char* name = nullptr;
    std::string text;
    if (XFetchName(display, window, &name) && name) text = name;
    if (name) XFree(name);
    return text;
  }
  Window windowTitled(const std::string& wanted) {
    for (auto w : property(DefaultRootWindow(display), "_NET_CLIENT_LIST")) {
      if (title(Window(w)) == wanted) return Window(w);
    }
    return None;
  }
};

Screen::Screen(const std::string& display)
    : connection_(new Connection{XOpenDisplay(display.c_str())}) {
  if (!connection_->display) {
    delete connection_;
    throw std::runtime_error("cannot open the X display " + display);
  }
}

Screen::~Screen() {
  XCloseDisplay(connection_->display);
  delete connection_;
}

std::string Screen::activeTitle() {
  auto value = connection_->property(DefaultRootWindow(connection_->display), "_NET_ACTIVE_WINDOW");
  if (value.empty() || value[0] == None) return "";
  return connection_->title(Window(value[0]));
}

void Screen::activate(const std::string& title) {
  Display* display = connection_->display;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = connection_->windowTitled(title);
  event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 2;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
}

bool Screen::waitForActive(const std::string& title, Duration timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (activeTitle() == title) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace zorv::e2e
