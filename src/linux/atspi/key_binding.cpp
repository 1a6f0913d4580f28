#include "linux/atspi/key_binding.h"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cctype>

namespace zorv::linux_desktop {
namespace {

constexpr std::int64_t kShift = 1, kOption = 2, kControl = 4, kNoCommand = 8;

// GTK's modifier names and what they are on a PC keyboard.
std::optional<std::int64_t> modifierBit(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, std::int64_t>, 11> names{{
      {"shift", kShift},
      {"control", kControl},
      {"ctrl", kControl},
      {"ctl", kControl},
      {"primary", kControl},
      {"alt", kOption},
      {"mod1", kOption},
      {"super", 0},
      {"meta", 0},
      {"hyper", 0},
      {"release", -1},
  }};
  std::string lower(name);
  for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const auto& [n, bit] : names) {
    if (n == lower) return bit;
  }
  return std::nullopt;
}

// A character a menu can show: not a control character (C0, DEL, C1), and a
// Unicode scalar value. Keysyms of the surrogate range (U+D800 to U+DFFF, e.g.
// "Ud800") have a code point, but libxkbcommon would write it as bytes that are
// not valid UTF-8.
bool isPrintable(std::uint32_t codePoint) {
  if (codePoint < 0x20 || (codePoint >= 0x7f && codePoint <= 0x9f)) return false;
  return codePoint <= 0x10ffff && !(codePoint >= 0xd800 && codePoint <= 0xdfff);
}

// The character a key produces, upper-cased as menus show shortcut letters; the
// key's name when it produces no printable character ("F5", "Delete").
std::optional<std::string> keyCharacter(std::string_view keyName) {
  // libxkbcommon reads names as C strings: one with a NUL in it would be read
  // only up to there, and the rest must not end up in the key's name.
  if (keyName.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string name(keyName);
  xkb_keysym_t keysym = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS);
  if (keysym == XKB_KEY_NoSymbol)
    keysym = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_CASE_INSENSITIVE);
  if (keysym == XKB_KEY_NoSymbol) return std::nullopt;
  const xkb_keysym_t upper = xkb_keysym_to_upper(keysym);
  if (!isPrintable(xkb_keysym_to_utf32(upper))) return name;
  char utf8[16] = {};
  if (xkb_keysym_to_utf8(upper, utf8, sizeof utf8) <= 1) return name;
  return std::string(utf8);
}

}  // namespace

std::optional<MenuShortcut> menuShortcutFromKeyBinding(std::string_view binding) {
  // The accelerator is the part after the second ';'.
  const auto first = binding.find(';');
  if (first == std::string_view::npos) return std::nullopt;
  const auto second = binding.find(';', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  std::string_view accelerator = binding.substr(second + 1);
  if (accelerator.empty()) return std::nullopt;

  MenuShortcut shortcut;
  bool command = false;
  while (accelerator.starts_with('<')) {
    const auto close = accelerator.find('>');
    if (close == std::string_view::npos) return std::nullopt;
    const auto name = accelerator.substr(1, close - 1);
    const auto bit = modifierBit(name);
    if (!bit) return std::nullopt;
    if (*bit == 0) command = true;
    if (*bit > 0) shortcut.modifiers |= *bit;
    accelerator.remove_prefix(close + 1);
  }
  if (command) shortcut.modifiers &= ~kNoCommand;
  auto character = keyCharacter(accelerator);
  if (!character) return std::nullopt;
  shortcut.character = std::move(*character);
  return shortcut;
}

}  // namespace zorv::linux_desktop
