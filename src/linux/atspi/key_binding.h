#pragma once
// The keyboard shortcut of a menu item, read from its AT-SPI key binding
// ("mnemonic;mnemonic path;accelerator", e.g. "s;<Alt>f:s;<Primary>s").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorv::linux_desktop {

// The shortcut as the platform's menu attributes carry it: the key character and
// the modifier value of "AXMenuItemCmdModifiers" (1 shift, 2 option, 4 control,
// 8 no command). Modifier keys map physically: Super ↔ command, Alt ↔ option,
// Ctrl ↔ control, Shift ↔ shift, so "<Primary>s" is control without command.
struct MenuShortcut {
  std::string character;
  std::int64_t modifiers = 8;
  bool operator==(const MenuShortcut&) const = default;
};

// Absent when the binding has no accelerator part or it names no key.
std::optional<MenuShortcut> menuShortcutFromKeyBinding(std::string_view binding);

}  // namespace zorv::linux_desktop
