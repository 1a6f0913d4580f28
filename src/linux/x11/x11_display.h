#pragma once
// One connection to the X server, owned, with its events dispatched on the GLib
// main context. Losing the server never ends the process from inside Xlib: the
// connection is marked lost, its calls fail from then on, and the owner hears
// of it on the main context.

#include <X11/Xlib.h>
#include <glib.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zorv::linux_desktop {

class X11Display {
 public:
  // Null when there is no X server to talk to. Without a name: $DISPLAY.
  static std::unique_ptr<X11Display> open(const char* name = nullptr);
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
  // Further handlers, called after that one, in the order they were added. A
  // handler may add and remove handlers (itself too) while it runs; a removed
  // one is not called again, not even for the event at hand.
  std::uint64_t addEventListener(std::function<void(const XEvent&)> listener);
  void removeEventListener(std::uint64_t id) { listeners_.erase(id); }

  // Called once, on the main context, when the connection to the X server has
  // closed: noticed by the event source or met by any call (Xlib's I/O error).
  void setConnectionLostHandler(std::function<void()> handler) {
    lostHandler_ = std::move(handler);
  }
  bool connectionLost() const { return lost_; }

  // Window properties of 32-bit items (windows, cardinals).
  std::optional<unsigned long> cardinalProperty(Window window, const char* name) const;
  std::vector<unsigned long> cardinalListProperty(Window window, const char* name) const;
  std::optional<std::string> stringProperty(Window window, const char* name) const;

 private:
  explicit X11Display(Display* display);
  // False once the connection is lost and the source has to go.
  bool drain();
  void reportLoss();
  static int onIOError(Display* display);
  static void onIOErrorExit(Display* display, void* self);

  Display* display_;
  GSource* source_ = nullptr;
  std::function<void(const XEvent&)> handler_;
  std::map<std::uint64_t, std::shared_ptr<std::function<void(const XEvent&)>>> listeners_;
  std::uint64_t nextListener_ = 1;
  std::function<void()> lostHandler_;
  std::atomic<bool> lost_{false};
  bool lossReported_ = false;
};

}  // namespace zorv::linux_desktop
