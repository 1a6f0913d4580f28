// Fuzzes the reading of AT-SPI key bindings ("mnemonic;mnemonic path;accelerator")
// into menu shortcuts.
//
// Besides what the sanitizers catch, it checks what a shortcut promises: it
// names a key, as a character or a key name, which is a text (valid UTF-8 when
// the binding is) without NULs; and its modifier value holds only the four bits
// of "AXMenuItemCmdModifiers" (1 shift, 2 option, 4 control, 8 no command).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "linux/atspi/key_binding.h"
#include "support/unicode.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view binding, const std::string& character) {
  std::fprintf(stderr, "key binding fuzzer: %s\n  binding:   %.*s\n  character:", what,
               static_cast<int>(binding.size()), binding.data());
  for (const char c : character) std::fprintf(stderr, " %02x", static_cast<unsigned char>(c));
  std::fprintf(stderr, "\n");
  __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view binding(reinterpret_cast<const char*>(data), size);
  const std::optional<zorv::linux_desktop::MenuShortcut> shortcut =
      zorv::linux_desktop::menuShortcutFromKeyBinding(binding);
  if (!shortcut) return 0;
  const std::string& character = shortcut->character;
  if (character.empty()) fail("a shortcut without a key", binding, character);
  if (character.find('\0') != std::string::npos) fail("a key with a NUL", binding, character);
  if (zorv::support::isValidUTF8(binding) && !zorv::support::isValidUTF8(character)) {
    fail("a key that is not valid UTF-8", binding, character);
  }
  if ((shortcut->modifiers & ~std::int64_t{15}) != 0) {
    fail("a modifier value with stray bits", binding, character);
  }
  return 0;
}
