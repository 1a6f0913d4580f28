#pragma once
// One connection to the session's Wayland compositor, owned, with its events
// dispatched on the GLib main context. Losing the compositor never ends the
// process from inside libwayland: the owner hears of it on the main context.

#include <wayland-client.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <glib.h>

#include "port/types.h"

namespace zorv::linux_desktop {

class WaylandDisplay {
 public:
  struct Global {
    std::uint32_t name;
    std::uint32_t version;
  };

  // Null when no compositor answers. Without a name: $WAYLAND_DISPLAY.
  static std::unique_ptr<WaylandDisplay> open(const char* name = nullptr);
  ~WaylandDisplay();
  WaylandDisplay(const WaylandDisplay&) = delete;
  WaylandDisplay& operator=(const WaylandDisplay&) = delete;

  wl_display* get() const { return display_; }
  // The globals the compositor announced at connection time, by interface.
  std::optional<Global> global(const std::string& interface) const;
  // Binds a global announced at connection time, at most at `version`; null
  // when the compositor has none.
  void* bind(const wl_interface& interface, std::uint32_t version) const;
  wl_registry* registry() const { return registry_; }

  // The compositor's process (the peer of the socket), if the kernel says.
  std::optional<port::Pid> compositorPid() const;

  // Sends what is queued and waits until the compositor has handled it; false
  // once the connection is lost.
  bool roundtrip();
  bool flush();

  void setConnectionLostHandler(std::function<void()> handler) {
    lostHandler_ = std::move(handler);
  }
  bool connectionLost() const { return lost_; }

 private:
  explicit WaylandDisplay(wl_display* display);
  void markLost();

  wl_display* display_;
  wl_registry* registry_ = nullptr;
  std::map<std::string, Global> globals_;
  GSource* source_ = nullptr;
  std::function<void()> lostHandler_;
  bool lost_ = false;
  bool lossReported_ = false;
  guint lostIdle_ = 0;
  friend struct WaylandSourceAccess;
};

}  // namespace zorv::linux_desktop
