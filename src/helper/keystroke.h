#pragma once
// Synthetic keystrokes: one key with up to four modifiers, each modifier pressed
// as its own key around the main key and set as a flag on the main key's events.

#include <cstdint>

#include "helper/key_names.h"
#include "port/platform.h"

namespace zorv::helper {

struct Keystroke {
  std::uint16_t keyCode = 0;
  KeyModifiers modifiers;

  friend bool operator==(const Keystroke&, const Keystroke&) = default;
};

// The `code` of a request: the key code in bits 0 to 7, command 0x100, shift
// 0x200, option 0x800, control 0x1000. Every other bit (0x400 too) is ignored.
Keystroke decodeKeystroke(std::int64_t code);

class KeystrokeSimulator {
 public:
  KeystrokeSimulator(port::Platform& platform, KeyNames& keyNames)
      : platform_(platform), keyNames_(keyNames) {}

  // Modifier keys down (command, shift, option, control), then the key down
  // with the modifiers' flags, then the line "<description> key down simulated".
  // False, after a line saying so, when an event could not be created: then
  // nothing was posted.
  bool simulateKeyDown(std::uint16_t keyCode, const KeyModifiers& modifiers);
  // The key up with the same flags, then the modifier keys up in the same order
  // as they went down, then "<description> key up simulated".
  bool simulateKeyUp(std::uint16_t keyCode, const KeyModifiers& modifiers);

 private:
  bool simulate(std::uint16_t keyCode, const KeyModifiers& modifiers, bool keyDown);

  port::Platform& platform_;
  KeyNames& keyNames_;
};

}  // namespace zorv::helper
