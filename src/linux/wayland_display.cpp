#include "linux/wayland_display.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace zorv::linux_desktop {

struct WaylandSourceAccess {
  static void lost(WaylandDisplay& display) { display.markLost(); }
};

namespace {

struct WaylandSource {
  GSource source;
  WaylandDisplay* owner;
  gpointer tag;
  bool reading;
};

// libwayland's reading protocol: prepare a read (dispatching what is already
// queued), sleep in poll, then read or cancel.
GSourceFuncs waylandSourceFuncs = {
    [](GSource* source, gint* timeout) -> gboolean {
      auto* s = reinterpret_cast<WaylandSource*>(source);
      *timeout = -1;
      if (s->owner->connectionLost()) return TRUE;
      wl_display* display = s->owner->get();
      while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) return TRUE;
      }
      s->reading = true;
      wl_display_flush(display);
      return FALSE;
    },
    [](GSource* source) -> gboolean {
      auto* s = reinterpret_cast<WaylandSource*>(source);
      if (!s->reading) return TRUE;
      s->reading = false;
      const GIOCondition revents = g_source_query_unix_fd(source, s->tag);
      if (revents & G_IO_IN) {
        if (wl_display_read_events(s->owner->get()) < 0) return TRUE;
        return TRUE;
      }
      wl_display_cancel_read(s->owner->get());
      return (revents & (G_IO_HUP | G_IO_ERR)) != 0;
    },
    [](GSource* source, GSourceFunc, gpointer) -> gboolean {
      auto* s = reinterpret_cast<WaylandSource*>(source);
      if (!s->owner->connectionLost() && wl_display_dispatch_pending(s->owner->get()) >= 0 &&
          wl_display_get_error(s->owner->get()) == 0) {
        return G_SOURCE_CONTINUE;
      }
      WaylandSourceAccess::lost(*s->owner);
      return G_SOURCE_REMOVE;
    },
    [](GSource* source) {
      auto* s = reinterpret_cast<WaylandSource*>(source);
      if (s->reading) wl_display_cancel_read(s->owner->get());
      s->reading = false;
    },
    nullptr,
    nullptr};

const wl_registry_listener registryListener = {
    [](void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version) {
      static_cast<std::map<std::string, WaylandDisplay::Global>*>(data)->insert_or_assign(
          interface, WaylandDisplay::Global{name, version});
    },
    [](void* data, wl_registry*, std::uint32_t name) {
      std::erase_if(*static_cast<std::map<std::string, WaylandDisplay::Global>*>(data),
                    [&](const auto& entry) { return entry.second.name == name; });
    },
};

}  // namespace

std::unique_ptr<WaylandDisplay> WaylandDisplay::open(const char* name) {
  wl_display* display = wl_display_connect(name);
  if (!display) return nullptr;
  return std::unique_ptr<WaylandDisplay>(new WaylandDisplay(display));
}

WaylandDisplay::WaylandDisplay(wl_display* display) : display_(display) {
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &registryListener, &globals_);
  wl_display_roundtrip(display_);
  source_ = g_source_new(&waylandSourceFuncs, sizeof(WaylandSource));
  auto* s = reinterpret_cast<WaylandSource*>(source_);
  s->owner = this;
  s->reading = false;
  s->tag = g_source_add_unix_fd(source_, wl_display_get_fd(display_),
                                static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
  g_source_set_name(source_, "zorv Wayland events");
  g_source_attach(source_, nullptr);
}

WaylandDisplay::~WaylandDisplay() {
  if (lostIdle_) g_source_remove(lostIdle_);
  g_source_destroy(source_);
  g_source_unref(source_);
  wl_registry_destroy(registry_);
  wl_display_disconnect(display_);
}

std::optional<WaylandDisplay::Global> WaylandDisplay::global(const std::string& interface) const {
  auto it = globals_.find(interface);
  if (it == globals_.end()) return std::nullopt;
  return it->second;
}

void* WaylandDisplay::bind(const wl_interface& interface, std::uint32_t version) const {
  auto found = global(interface.name);
  if (!found) return nullptr;
  return wl_registry_bind(registry_, found->name, &interface, std::min(version, found->version));
}

std::optional<port::Pid> WaylandDisplay::compositorPid() const {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (getsockopt(wl_display_get_fd(display_), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
      credentials.pid <= 0) {
    return std::nullopt;
  }
  return credentials.pid;
}

bool WaylandDisplay::roundtrip() {
  if (lost_) return false;
  if (wl_display_roundtrip(display_) < 0) {
    markLost();
    return false;
  }
  return true;
}

bool WaylandDisplay::flush() {
  if (lost_) return false;
  if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
    markLost();
    return false;
  }
  return true;
}

void WaylandDisplay::markLost() {
  lost_ = true;
  if (lossReported_) return;
  lossReported_ = true;
  // Reported from the main loop, not from inside the call that met it.
  lostIdle_ = g_idle_add_full(
      G_PRIORITY_HIGH,
      [](gpointer self) {
        auto* display = static_cast<WaylandDisplay*>(self);
        display->lostIdle_ = 0;
        if (display->lostHandler_) display->lostHandler_();
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
}

}  // namespace zorv::linux_desktop
