#pragma once
// Key codes to the text the keystroke log lines show: a fixed table of names by
// virtual key code, overlaid once per process with what the current keyboard
// layout prints for the character keys, and the modifier glyphs.

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "port/platform.h"

namespace zorv::helper {

struct KeyModifiers {
  bool command = false;
  bool shift = false;
  bool option = false;
  bool control = false;

  friend bool operator==(const KeyModifiers&, const KeyModifiers&) = default;
};

using KeyNameTable = std::map<std::int64_t, std::string>;

// The 101 fixed names, letters and punctuation at their US ANSI positions.
const KeyNameTable& staticKeyNames();

// The character keys whose names come from the current layout: A to Z, 0 to 9,
// then grave accent, "=", "-", "]", "[", "'", ";", backslash, ",", "/", ".".
inline constexpr std::array<std::uint16_t, 47> layoutDependentKeyCodes = {
    0,  11, 8,  2,  14, 3,  5,  4,  34, 38, 40, 37, 46, 45, 31, 35, 12, 15, 1,  17, 32, 9,  13, 7,
    16, 6,  29, 18, 19, 20, 21, 23, 22, 26, 28, 25, 50, 24, 27, 30, 33, 39, 41, 42, 43, 44, 47};

// What a layout key is called, given what it produces: a single letter (or
// mark) is upper-cased with the full default mapping ("ß" gives "SS"); anything
// else is taken as it is. `produced` is UTF-16 as the platform hands it over.
std::string keyNameForOutput(const std::u16string& produced);

// The key-name table in use. Built on the first look-up, from the layout current
// at that moment, and never rebuilt: later layout switches do not rename keys.
class KeyNames {
 public:
  explicit KeyNames(port::Platform& platform) : platform_(platform) {}
  KeyNames(const KeyNames&) = delete;
  KeyNames& operator=(const KeyNames&) = delete;

  // Absent when the code has no name.
  std::optional<std::string> keyName(std::int64_t keyCode);
  // The modifier glyphs ("⌘ ⇧ ⌥ ⌃ ", each one only when set) and the key's name,
  // or its number when it has none: "⌘ ⇧ A", "⌃ 49".
  std::string keystrokeDescription(std::int64_t keyCode, const KeyModifiers& modifiers);

 private:
  const KeyNameTable& keyNames();
  KeyNameTable build();

  port::Platform& platform_;
  std::once_flag once_;
  KeyNameTable keyNames_;
};

}  // namespace zorv::helper
