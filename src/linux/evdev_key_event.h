#pragma once
// A key event of the Wayland keyboard services (sway's virtual keyboard, KWin's
// fake input, mutter's remote desktop): the evdev code to send. The flags are
// kept, not sent: each compositor derives the modifier state from the
// modifier keys down.

#include <cstdint>

#include "port/keyboard_events.h"

namespace zorv::linux_desktop {

class EvdevEventSource : public port::EventSource {};

class EvdevKeyEvent : public port::KeyboardEvent {
 public:
  EvdevKeyEvent(std::uint16_t virtualKey, std::uint32_t evdev, bool down)
      : virtualKey_(virtualKey), evdev_(evdev), down_(down) {}
  std::uint16_t keyCode() const override { return virtualKey_; }
  bool keyDown() const override { return down_; }
  port::EventFlags flags() const override { return flags_; }
  void setFlags(port::EventFlags flags) override { flags_ = flags; }
  std::uint32_t evdev() const { return evdev_; }

 private:
  std::uint16_t virtualKey_;
  std::uint32_t evdev_;
  bool down_;
  port::EventFlags flags_ = 0;
};

}  // namespace zorv::linux_desktop
