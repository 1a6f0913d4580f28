#include "linux/sway/foreign_toplevels.h"

#include <algorithm>

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace zorv::linux_desktop {

struct ForeignToplevels::Toplevel {
  ForeignToplevels* owner;
  zwlr_foreign_toplevel_handle_v1* handle;
  std::string title, appId;  // as of the last "done"
  std::string nextTitle, nextAppId;
  bool nextActivated = false;
  std::uint64_t activated = 0;  // when it was last seen activated; 0: never
};

struct ToplevelEvents {
  static void closed(ForeignToplevels::Toplevel* toplevel) {
    auto& list = toplevel->owner->toplevels_;
    zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
    std::erase_if(list, [&](const auto& t) { return t.get() == toplevel; });
  }
  static void done(ForeignToplevels::Toplevel* toplevel) {
    toplevel->title = toplevel->nextTitle;
    toplevel->appId = toplevel->nextAppId;
    if (toplevel->nextActivated) toplevel->activated = ++toplevel->owner->activations_;
  }
  static void added(ForeignToplevels* owner, zwlr_foreign_toplevel_handle_v1* handle);
};

namespace {

using Toplevel = ForeignToplevels::Toplevel;

const zwlr_foreign_toplevel_handle_v1_listener handleListener = {
    [](void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
      static_cast<Toplevel*>(data)->nextTitle = title ? title : "";
    },
    [](void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
      static_cast<Toplevel*>(data)->nextAppId = appId ? appId : "";
    },
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
      bool activated = false;
      const auto* state = static_cast<const std::uint32_t*>(states->data);
      for (std::size_t i = 0; i < states->size / sizeof *state; ++i) {
        activated = activated || state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
      }
      static_cast<Toplevel*>(data)->nextActivated = activated;
    },
    [](void* data, zwlr_foreign_toplevel_handle_v1*) {
      ToplevelEvents::done(static_cast<Toplevel*>(data));
    },
    [](void* data, zwlr_foreign_toplevel_handle_v1*) {
      ToplevelEvents::closed(static_cast<Toplevel*>(data));
    },
    [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
};

const zwlr_foreign_toplevel_manager_v1_listener managerListener = {
    [](void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
      ToplevelEvents::added(static_cast<ForeignToplevels*>(data), handle);
    },
    [](void*, zwlr_foreign_toplevel_manager_v1*) {},
};

}  // namespace

void ToplevelEvents::added(ForeignToplevels* owner, zwlr_foreign_toplevel_handle_v1* handle) {
  owner->toplevels_.push_back(
      std::make_unique<Toplevel>(Toplevel{owner, handle, {}, {}, {}, {}, false, 0}));
  zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener,
                                               owner->toplevels_.back().get());
}

ForeignToplevels::ForeignToplevels(WaylandDisplay& display) : display_(display) {
  manager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
      display_.bind(zwlr_foreign_toplevel_manager_v1_interface, 3));
  seat_ = static_cast<wl_seat*>(display_.bind(wl_seat_interface, 1));
  if (!manager_ || !seat_) return;
  zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &managerListener, this);
  display_.roundtrip();
}

ForeignToplevels::~ForeignToplevels() {
  for (const auto& toplevel : toplevels_) zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
  // The manager has no destructor request in this version: stop() asks the
  // compositor to finish it; the proxy is freed here either way.
  if (manager_) {
    if (!display_.connectionLost()) zwlr_foreign_toplevel_manager_v1_stop(manager_);
    zwlr_foreign_toplevel_manager_v1_destroy(manager_);
  }
  if (seat_) wl_seat_destroy(seat_);
}

bool ForeignToplevels::activate(const std::string& appId, const std::optional<std::string>& title) {
  if (!manager_ || !seat_ || !display_.roundtrip()) return false;
  Toplevel* best = nullptr;
  for (const auto& toplevel : toplevels_) {
    if (toplevel->appId != appId || (title && toplevel->title != *title)) continue;
    if (!best || toplevel->activated > best->activated) best = toplevel.get();
  }
  if (!best) return false;
  zwlr_foreign_toplevel_handle_v1_activate(best->handle, seat_);
  return display_.flush();
}

}  // namespace zorv::linux_desktop
