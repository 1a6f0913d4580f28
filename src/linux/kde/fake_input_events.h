#pragma once
// Keyboard events on KWin: the org_kde_kwin_fake_input protocol, whose
// keyboard_key request (version 4) presses and releases a physical key by its
// evdev code. KWin runs such keys through its own keyboard state, so modifiers
// and the current layout apply as for a real keyboard. KWin offers the
// protocol only to a program whose desktop entry declares it; without it no
// event can be created.

#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <set>

#include "linux/wayland_display.h"
#include "linux/x11/xkb_layout.h"
#include "port/keyboard_events.h"

struct org_kde_kwin_fake_input;

namespace zorv::linux_desktop {

class FakeInputEvents : public port::KeyboardEvents {
 public:
  // `display` may be null, or not offer the protocol to this program.
  explicit FakeInputEvents(WaylandDisplay* display);
  ~FakeInputEvents() override;
  FakeInputEvents(const FakeInputEvents&) = delete;
  FakeInputEvents& operator=(const FakeInputEvents&) = delete;

  bool available() const { return input_ != nullptr; }
  // The session's keymap as KWin gives it to its clients; null without one.
  KeymapRef keymap() const { return keymap_; }

  std::unique_ptr<port::EventSource> createEventSource(port::EventSourceState state) override;
  // Null for a key code that has no key on a PC keyboard, or without the protocol.
  std::unique_ptr<port::KeyboardEvent> createKeyboardEvent(const port::EventSource* source,
                                                           std::uint16_t virtualKey,
                                                           bool keyDown) override;
  void post(port::EventTap tap, const port::KeyboardEvent& event) override;

 private:
  WaylandDisplay* display_;
  org_kde_kwin_fake_input* input_ = nullptr;
  KeymapRef keymap_;
  std::set<std::uint32_t> down_;  // evdev codes of our keys that are down
};

}  // namespace zorv::linux_desktop
