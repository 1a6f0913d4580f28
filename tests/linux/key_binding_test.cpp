// Menu shortcuts read from AT-SPI key bindings: GTK accelerator names to the
// platform's key character and modifier value.

#include <gtest/gtest.h>

#include "linux/atspi/key_binding.h"

namespace zorv::linux_desktop {
namespace {

TEST(KeyBinding, AcceleratorsBecomeTheMenuShortcut) {
  struct Case {
    const char* binding;
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.binding);
    EXPECT_EQ(menuShortcutFromKeyBinding(c.binding), c.shortcut);
  }
}

}  // namespace
}  // namespace zorv::linux_desktop
