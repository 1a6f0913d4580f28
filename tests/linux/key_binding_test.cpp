// Menu shortcuts read from AT-SPI key bindings: GTK accelerator names to the
// platform's key character and modifier value.

#include <gtest/gtest.h>

#include "linux/atspi/key_binding.h"

#include <optional>
#include <string_view>

namespace zorv::linux_desktop {
namespace {

TEST(KeyBinding, AcceleratorsBecomeTheMenuShortcut) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view binding;
    std::optional<MenuShortcut> shortcut;
  };
  const Case cases[] = {
      {"s;<Alt>f:s;<Primary>s", MenuShortcut{"S", 4 | 8}},  // control, no command
      {"p;<Alt>e:p;<Primary><Shift>v", MenuShortcut{"V", 1 | 4 | 8}},
      {"k;<Alt>v:k;<Primary><Shift><Alt>k", MenuShortcut{"K", 1 | 2 | 4 | 8}},
      {";;<Super>q", MenuShortcut{"Q", 0}},  // Super is the command key
      {";;<Control><Super>f", MenuShortcut{"F", 4}},
      {"i;<Alt>v:i;<Primary>plus", MenuShortcut{"+", 4 | 8}},
      {";;F5", MenuShortcut{"F5", 8}},
      {";;<Shift>Delete", MenuShortcut{"Delete", 1 | 8}},
      {"s;<Alt>f:s;", std::nullopt},  // a mnemonic only
      {"", std::nullopt},
      {"no separators", std::nullopt},
      {";;<Primary>", std::nullopt},
      {";;<Bogus>s", std::nullopt},
      {";;<Primary>nosuchkeyname", std::nullopt},
      // Found by fuzzing (fuzz/key_binding_fuzzer.cpp): libxkbcommon reads a key
      // name only up to a NUL, and the whole name, NUL and all, came back as the key.
      {"no\0;;0x10000\0 s:tors"sv, std::nullopt},
      {";;<Primary>F5\0junk"sv, std::nullopt},
      {";;<Primary>\0"sv, std::nullopt},
      // Keysyms of surrogate code points have no character: libxkbcommon writes
      // them as bytes that are not UTF-8. Neither have C1 control characters.
      // Such keys go by their name; the code point forms of printable
      // characters still give the character.
      {";;Ud800", MenuShortcut{"Ud800", 8}},
      {";;<Primary>0x100dfff", MenuShortcut{"0x100dfff", 4 | 8}},
      {";;0x1000085", MenuShortcut{"0x1000085", 8}},
      {";;<Primary>U20AC", MenuShortcut{"\xE2\x82\xAC", 4 | 8}},
      {";;0x10000e9", MenuShortcut{"\xC3\x89", 8}},
      {";;space", MenuShortcut{" ", 8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.binding));
    EXPECT_EQ(menuShortcutFromKeyBinding(c.binding), c.shortcut);
  }
}

}  // namespace
}  // namespace zorv::linux_desktop
