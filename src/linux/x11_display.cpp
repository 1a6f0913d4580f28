#include "linux/x11_display.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace zorv::linux_desktop {
namespace {

struct XSource {
  GSource source;
  X11Display* owner;
  Display* display;
};

// Xlib may read events into its own queue during any request, so the source is
// ready when that queue holds events as well as when the socket is readable.
GSourceFuncs xSourceFuncs = {
    [](GSource* source, gint* timeout) -> gboolean {
      *timeout = -1;
      return XPending(reinterpret_cast<XSource*>(source)->display) > 0;
    },
    [](GSource* source) -> gboolean {
      return XPending(reinterpret_cast<XSource*>(source)->display) > 0;
    },
    [](GSource*, GSourceFunc callback, gpointer data) -> gboolean { return callback(data); },
    nullptr,
    nullptr,
    nullptr};

}  // namespace

std::unique_ptr<X11Display> X11Display::open() {
  static const bool threads = XInitThreads() != 0;
  (void)threads;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  // Windows of other clients vanish at any moment; a request on one that is gone
  // must not end the helper (Xlib's default handler exits).
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  return std::unique_ptr<X11Display>(new X11Display(display));
}

X11Display::X11Display(Display* display) : display_(display) {
  source_ = g_source_new(&xSourceFuncs, sizeof(XSource));
  auto* x = reinterpret_cast<XSource*>(source_);
  x->owner = this;
  x->display = display_;
  g_source_add_unix_fd(source_, ConnectionNumber(display_), G_IO_IN);
  g_source_set_callback(
      source_,
      [](gpointer self) -> gboolean {
        static_cast<X11Display*>(self)->drain();
        return G_SOURCE_CONTINUE;
      },
      this, nullptr);
  g_source_set_name(source_, "zorv X11 events");
  g_source_attach(source_, nullptr);
}

X11Display::~X11Display() {
  g_source_destroy(source_);
  g_source_unref(source_);
  XCloseDisplay(display_);
}

void X11Display::drain() {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (handler_) handler_(event);
  }
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
