#include "linux/x11/x11_display.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "linux/glib_application.h"

namespace zorv::linux_desktop {
namespace {

// Every open X11Display, for the process-wide I/O error handler.
std::mutex displaysMutex;
std::vector<X11Display*> displays;

struct XSource {
  GSource source;
  X11Display* owner;
  Display* display;
};

// Xlib may read events into its own queue during any request, so the source is
// ready when that queue holds events as well as when the socket is readable.
// A lost connection makes it ready too, and is never asked for events again.
GSourceFuncs xSourceFuncs = {
    [](GSource* source, gint* timeout) -> gboolean {
      *timeout = -1;
      auto* x = reinterpret_cast<XSource*>(source);
      return x->owner->connectionLost() || XPending(x->display) > 0;
    },
    [](GSource* source) -> gboolean {
      auto* x = reinterpret_cast<XSource*>(source);
      return x->owner->connectionLost() || XPending(x->display) > 0;
    },
    [](GSource*, GSourceFunc callback, gpointer data) -> gboolean { return callback(data); },
    nullptr,
    nullptr,
    nullptr};

}  // namespace

std::unique_ptr<X11Display> X11Display::open(const char* name) {
  static const bool threads = XInitThreads() != 0;
  (void)threads;
  Display* display = XOpenDisplay(name);
  if (!display) return nullptr;
  // Windows of other clients vanish at any moment; a request on one that is gone
  // must not end the helper (Xlib's default handler exits).
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  // Nor must a closed connection: Xlib's default would exit(1) from inside the
  // call that met it.
  XSetIOErrorHandler(&X11Display::onIOError);
  return std::unique_ptr<X11Display>(new X11Display(display));
}

int X11Display::onIOError(Display* display) {
  std::vector<X11Display*> ours;
  {
    std::lock_guard lock(displaysMutex);
    ours = displays;
  }
  if (std::any_of(ours.begin(), ours.end(), [&](X11Display* d) { return d->display_ == display; }))
    return 0;  // onIOErrorExit follows, and the call returns failed
  // Another connection of the process to the same server (GTK's, once an alert
  // was shown) met it first. Xlib ends the process when this returns, so it
  // ends here, through the owner's path and with the session's status.
  for (X11Display* d : ours) {
    d->lost_ = true;
    d->reportLoss();
  }
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(kExitSessionLost);
}

void X11Display::onIOErrorExit(Display*, void* self) {
  // Returning here keeps the process: the connection is marked dead and every
  // later call on it fails at once. The owner hears of it on the main context.
  static_cast<X11Display*>(self)->lost_ = true;
  g_main_context_wakeup(nullptr);
}

X11Display::X11Display(Display* display) : display_(display) {
  {
    std::lock_guard lock(displaysMutex);
    displays.push_back(this);
  }
  XSetIOErrorExitHandler(display_, &X11Display::onIOErrorExit, this);
  source_ = g_source_new(&xSourceFuncs, sizeof(XSource));
  auto* x = reinterpret_cast<XSource*>(source_);
  x->owner = this;
  x->display = display_;
  g_source_add_unix_fd(source_, ConnectionNumber(display_),
                       static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
  g_source_set_callback(
      source_,
      [](gpointer self) -> gboolean {
        return static_cast<X11Display*>(self)->drain() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
      },
      this, nullptr);
  g_source_set_name(source_, "zorv X11 events");
  g_source_attach(source_, nullptr);
}

X11Display::~X11Display() {
  g_source_destroy(source_);
  g_source_unref(source_);
  // Also after a loss: Xlib then only frees the connection's memory.
  XCloseDisplay(display_);
  std::lock_guard lock(displaysMutex);
  std::erase(displays, this);
}

bool X11Display::drain() {
  while (!lost_ && XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (handler_) handler_(event);
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners) {
      if (listeners_.contains(id)) (*listener)(event);
    }
  }
  if (!lost_) return true;
  reportLoss();
  return false;
}

std::uint64_t X11Display::addEventListener(std::function<void(const XEvent&)> listener) {
  const auto id = nextListener_++;
  listeners_.emplace(id, std::make_shared<std::function<void(const XEvent&)>>(std::move(listener)));
  return id;
}

void X11Display::reportLoss() {
  if (lossReported_) return;
  lossReported_ = true;
  if (lostHandler_) lostHandler_();
}

std::vector<unsigned long> X11Display::cardinalListProperty(Window window, const char* name) const {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> values;
  if (XGetWindowProperty(display_, window, atom(name), 0, 4096, False, AnyPropertyType, &type,
                         &format, &count, &remaining, &data) == Success &&
      data && format == 32) {
    // 32-bit items arrive as longs.
    const auto* items = reinterpret_cast<const unsigned long*>(data);
    values.assign(items, items + count);
  }
  if (data) XFree(data);
  return values;
}

std::optional<unsigned long> X11Display::cardinalProperty(Window window, const char* name) const {
  auto values = cardinalListProperty(window, name);
  if (values.empty()) return std::nullopt;
  return values.front();
}

std::optional<std::string> X11Display::stringProperty(Window window, const char* name) const {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  std::optional<std::string> value;
  if (XGetWindowProperty(display_, window, atom(name), 0, 4096, False, AnyPropertyType, &type,
                         &format, &count, &remaining, &data) == Success &&
      data && format == 8) {
    value = std::string(reinterpret_cast<const char*>(data), count);
  }
  if (data) XFree(data);
  return value;
}

}  // namespace zorv::linux_desktop
