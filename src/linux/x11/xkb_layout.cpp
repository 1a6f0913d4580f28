#include "linux/x11/xkb_layout.h"

#include <glib.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <array>
#include <utility>

#include "linux/key_codes.h"

namespace zorv::linux_desktop {
namespace {

// The platform's modifier-state bits and the XKB modifiers they become; option
// chooses the third level, which the evdev rules put on Mod5.
constexpr std::array<std::pair<std::uint32_t, const char*>, 5> kModifiers = {{
    {0x01, XKB_MOD_NAME_LOGO},
    {0x02, XKB_MOD_NAME_SHIFT},
    {0x04, XKB_MOD_NAME_CAPS},
    {0x08, "Mod5"},
    {0x10, XKB_MOD_NAME_CTRL},
}};

std::u16string toUTF16(const std::string& utf8) {
  glong length = 0;
  gunichar2* units =
      g_utf8_to_utf16(utf8.data(), static_cast<glong>(utf8.size()), nullptr, &length, nullptr);
  if (!units) return {};
  std::u16string text(reinterpret_cast<const char16_t*>(units), static_cast<std::size_t>(length));
  g_free(units);
  return text;
}

}  // namespace

KeymapRef adoptKeymap(xkb_keymap* keymap) {
  return KeymapRef(keymap, [](xkb_keymap* k) {
    if (k) xkb_keymap_unref(k);
  });
}

std::string deadKeyCharacter(xkb_keysym_t keysym) {
  switch (keysym) {
    case XKB_KEY_dead_grave:
      return "`";
    case XKB_KEY_dead_acute:
      return "\u00b4";
    case XKB_KEY_dead_circumflex:
      return "^";
    case XKB_KEY_dead_tilde:
      return "~";
    case XKB_KEY_dead_macron:
      return "\u00af";
    case XKB_KEY_dead_breve:
      return "\u02d8";
    case XKB_KEY_dead_abovedot:
      return "\u02d9";
    case XKB_KEY_dead_diaeresis:
      return "\u00a8";
    case XKB_KEY_dead_abovering:
      return "\u02da";
    case XKB_KEY_dead_doubleacute:
      return "\u02dd";
    case XKB_KEY_dead_caron:
      return "\u02c7";
    case XKB_KEY_dead_cedilla:
      return "\u00b8";
    case XKB_KEY_dead_ogonek:
      return "\u02db";
    case XKB_KEY_dead_iota:
      return "\u037a";
    case XKB_KEY_dead_voiced_sound:
      return "\u309b";
    case XKB_KEY_dead_semivoiced_sound:
      return "\u309c";
    case XKB_KEY_dead_belowdot:
      return "\u0323";
    case XKB_KEY_dead_hook:
      return "\u0309";
    case XKB_KEY_dead_horn:
      return "\u031b";
    case XKB_KEY_dead_stroke:
      return "/";
    case XKB_KEY_dead_abovecomma:
      return "\u0313";
    case XKB_KEY_dead_abovereversedcomma:
      return "\u0314";
    case XKB_KEY_dead_doublegrave:
      return "\u02f5";
    case XKB_KEY_dead_belowring:
      return "\u02f3";
    case XKB_KEY_dead_belowmacron:
      return "\u02cd";
    case XKB_KEY_dead_belowcircumflex:
      return "\ua788";
    case XKB_KEY_dead_belowtilde:
      return "\u02f7";
    case XKB_KEY_dead_belowbreve:
      return "\u032e";
    case XKB_KEY_dead_belowdiaeresis:
      return "\u0324";
    case XKB_KEY_dead_invertedbreve:
      return "\u0311";
    case XKB_KEY_dead_belowcomma:
      return ",";
    case XKB_KEY_dead_currency:
      return "\u00a4";
    default:
      return {};
  }
}

port::KeyTranslation XkbLayout::translate(std::uint16_t virtualKey, std::uint32_t modifierKeyState,
                                          std::size_t maxLength) const {
  const auto evdev = evdevCode(virtualKey);
  if (!keymap_ || !evdev) return {};
  const xkb_keycode_t keycode = *evdev + kXKeycodeOffset;

  xkb_mod_mask_t mods = 0;
  for (const auto& [bit, name] : kModifiers) {
    if ((modifierKeyState & bit) == 0) continue;
    const auto index = xkb_keymap_mod_get_index(keymap_.get(), name);
    if (index != XKB_MOD_INVALID) mods |= xkb_mod_mask_t(1) << index;
  }
  std::unique_ptr<xkb_state, void (*)(xkb_state*)> state(xkb_state_new(keymap_.get()),
                                                         xkb_state_unref);
  if (!state) return {};
  xkb_state_update_mask(state.get(), mods, 0, 0, 0, 0, group_);

  const xkb_keysym_t* syms = nullptr;
  const int count = xkb_state_key_get_syms(state.get(), keycode, &syms);
  // A dead key shows its own character instead of waiting for the next key.
  std::string utf8 = count == 1 ? deadKeyCharacter(syms[0]) : std::string();
  if (utf8.empty()) {
    const int size = xkb_state_key_get_utf8(state.get(), keycode, nullptr, 0);
    if (size > 0) {
      utf8.resize(std::size_t(size) + 1);
      xkb_state_key_get_utf8(state.get(), keycode, utf8.data(), utf8.size());
      utf8.resize(std::size_t(size));
    }
  }
  port::KeyTranslation translation;
  translation.text = toUTF16(utf8);
  if (translation.text.size() > maxLength) {
    translation.status = kOutputBufferTooSmall;
    translation.text.resize(maxLength);
  }
  return translation;
}

}  // namespace zorv::linux_desktop
