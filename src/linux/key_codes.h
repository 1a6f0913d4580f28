#pragma once
// The platform's virtual key codes name physical key positions; on Linux a
// position is an evdev key code (and the X server's key code is that plus 8).

#include <cstdint>
#include <optional>
#include <span>
#include <utility>

namespace zorv::linux_desktop {

// Every virtual key code that has a key on a PC keyboard, with that key's evdev
// code, sorted by virtual key code.
std::span<const std::pair<std::uint16_t, std::uint16_t>> virtualKeyTable();

// The evdev code of the key at `virtualKey`, or nothing when a PC keyboard has
// no such key.
std::optional<std::uint16_t> evdevCode(std::uint16_t virtualKey);

// X key codes are evdev codes shifted by 8 (the evdev keycodes of XKB).
inline constexpr unsigned kXKeycodeOffset = 8;

}  // namespace zorv::linux_desktop
