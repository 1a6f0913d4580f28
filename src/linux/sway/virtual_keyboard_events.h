#pragma once
// Keyboard events on a wlroots compositor: one virtual keyboard
// (zwp_virtual_keyboard_v1) for the helper's whole life, carrying the
// session's keymap. A key event there is a physical key (an evdev code) going
// down or up; the modifier state that follows from the keys down is sent with
// every event, in the layout that is current at the compositor then.

#include <xkbcommon/xkbcommon.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>

#include "linux/wayland_display.h"
#include "linux/x11/xkb_layout.h"
#include "port/keyboard_events.h"

struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace zorv::linux_desktop {

class VirtualKeyboardEvents : public port::KeyboardEvents {
 public:
  // The layout index current at the compositor; asked once per keystroke.
  using CurrentGroup = std::function<std::optional<xkb_layout_index_t>()>;

  // `display` may be null, or offer no virtual keyboards: then no event can be
  // created. The keymap is the seat's when it has a keyboard, else the one
  // xkbcommon compiles from the XKB_DEFAULT_* variables (as the compositor
  // does for its own keyboards without configuration).
  VirtualKeyboardEvents(WaylandDisplay* display, CurrentGroup currentGroup);
  ~VirtualKeyboardEvents() override;
  VirtualKeyboardEvents(const VirtualKeyboardEvents&) = delete;
  VirtualKeyboardEvents& operator=(const VirtualKeyboardEvents&) = delete;

  // The keymap the compositor holds for the virtual keyboard; null without one.
  KeymapRef keymap() const { return keymap_; }

  std::unique_ptr<port::EventSource> createEventSource(port::EventSourceState state) override;
  // Null for a key code that has no key on a PC keyboard, or without a virtual keyboard.
  std::unique_ptr<port::KeyboardEvent> createKeyboardEvent(const port::EventSource* source,
                                                           std::uint16_t virtualKey,
                                                           bool keyDown) override;
  void post(port::EventTap tap, const port::KeyboardEvent& event) override;

 private:
  WaylandDisplay* display_;
  CurrentGroup currentGroup_;
  xkb_context* context_;
  KeymapRef keymap_;
  std::unique_ptr<xkb_state, void (*)(xkb_state*)> state_{nullptr, xkb_state_unref};
  zwp_virtual_keyboard_manager_v1* manager_ = nullptr;
  zwp_virtual_keyboard_v1* keyboard_ = nullptr;
  std::set<std::uint32_t> down_;  // evdev codes of our keys that are down
  xkb_layout_index_t group_ = 0;
};

}  // namespace zorv::linux_desktop
