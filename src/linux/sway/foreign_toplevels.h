#pragma once
// The toplevel windows of a wlroots compositor as its toplevel management
// protocol (zwlr_foreign_toplevel_manager_v1) reports them: application id,
// title, and which was activated last; and activating one of them. It names
// windows by application id, not by process, so it serves where the process
// the accessibility bus names is not the one that owns the window (a sandboxed
// application reaches the bus through a proxy process).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "linux/wayland_display.h"

struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace zorv::linux_desktop {

class ForeignToplevels {
 public:
  explicit ForeignToplevels(WaylandDisplay& display);
  ~ForeignToplevels();
  ForeignToplevels(const ForeignToplevels&) = delete;
  ForeignToplevels& operator=(const ForeignToplevels&) = delete;

  // False when the compositor does not offer the protocol.
  bool available() const { return manager_ != nullptr; }

  // Asks the compositor to activate the toplevel with application id `appId`
  // (and title `title`): of several, the one activated most recently. False
  // when there is none.
  bool activate(const std::string& appId, const std::optional<std::string>& title);

  struct Toplevel;

 private:
  WaylandDisplay& display_;
  zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
  wl_seat* seat_ = nullptr;
  std::vector<std::unique_ptr<Toplevel>> toplevels_;
  std::uint64_t activations_ = 0;
  friend struct ToplevelEvents;
};

}  // namespace zorv::linux_desktop
