#pragma once
// One layout group of an XKB keymap as the layout data of an input source: the
// translation of a key code into the text that key types.

#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "port/text_input_sources.h"

namespace zorv::linux_desktop {

using KeymapRef = std::shared_ptr<xkb_keymap>;
// Takes over one reference of `keymap` (null stays null).
KeymapRef adoptKeymap(xkb_keymap* keymap);

// The output buffer cannot hold the key's text.
inline constexpr port::StatusCode kOutputBufferTooSmall = -25340;

class XkbLayout : public port::KeyboardLayout {
 public:
  XkbLayout(KeymapRef keymap, xkb_layout_index_t group)
      : keymap_(std::move(keymap)), group_(group) {}

  // What the key at `virtualKey` types in this group with the modifiers of
  // `modifierKeyState` (command 0x01, shift 0x02, caps lock 0x04, option 0x08,
  // control 0x10). A dead key gives its spacing character; a key without text,
  // or without a place on a PC keyboard, gives nothing.
  port::KeyTranslation translate(std::uint16_t virtualKey, std::uint32_t modifierKeyState,
                                 std::size_t maxLength) const;

  xkb_layout_index_t group() const { return group_; }

 private:
  KeymapRef keymap_;
  xkb_layout_index_t group_;
};

// The character a dead key shows on its own ("´" for dead_acute), as UTF-8; the
// combining mark where Unicode has no spacing form; empty for any other keysym.
std::string deadKeyCharacter(xkb_keysym_t keysym);

}  // namespace zorv::linux_desktop
