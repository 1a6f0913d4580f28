#pragma once
// One connection to the X server, owned, with its events dispatched on the GLib
// main context.

#include <X11/Xlib.h>
#include <glib.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zorv::linux_desktop {

class X11Display {
 public:
  // Null when there is no X server to talk to.
  static std::unique_ptr<X11Display> open();
  ~X11Display();
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  Display* get() const { return display_; }
  Window root() const { return DefaultRootWindow(display_); }
  Atom atom(const char* name) const { return XInternAtom(display_, name, False); }

  // Called on the main context for every event the server sends.
  void setEventHandler(std::function<void(const XEvent&)> handler) {
    handler_ = std::move(handler);
  }

  // Window properties of 32-bit items (windows, cardinals).
  std::optional<unsigned long> cardinalProperty(Window window, const char* name) const;
  std::vector<unsigned long> cardinalListProperty(Window window, const char* name) const;
  std::optional<std::string> stringProperty(Window window, const char* name) const;

 private:
  explicit X11Display(Display* display);
  void drain();

  Display* display_;
  GSource* source_ = nullptr;
  std::function<void(const XEvent&)> handler_;
};

}  // namespace zorv::linux_desktop
