#pragma once
// What the input sources of every session kind share: a source is a keyboard
// layout with an identifier as on X ("us", "de(nodeadkeys)"), a name and its
// group of an XKB keymap, which translates keys; sessions keep no icons for
// layouts. Each session kind lists, reads the current and selects its own way.
//
// Called on the main thread only.

#include <memory>
#include <optional>
#include <string>

#include "linux/x11/xkb_layout.h"
#include "port/text_input_sources.h"

namespace zorv::linux_desktop {

struct LayoutSource : port::InputSourceHandle {
  std::optional<std::string> id;  // absent when nothing names the layout
  std::string name;
  std::shared_ptr<const XkbLayout> layout;  // null when the keymap lacks this layout
};

class LayoutInputSources : public port::TextInputSources {
 public:
  // For a LayoutSource: its identifier, name, category (keyboard), translation;
  // selectable; no icon.
  std::optional<port::PropertyValue> getInputSourceProperty(
      const port::InputSourceRef& source, port::InputSourceProperty property) override;

  // There is no keyboard type on Linux; translations ignore it.
  std::uint32_t keyboardType() override { return 0; }
  // Dead keys never start a sequence: each shows its own character.
  port::KeyTranslation keyTranslate(const port::KeyboardLayout& layout,
                                    std::uint16_t virtualKeyCode, port::KeyAction action,
                                    std::uint32_t modifierKeyState, std::uint32_t keyboardType,
                                    std::uint32_t options, std::uint32_t& deadKeyState,
                                    std::size_t maxLength) override;

  // An image file given by a file: URL.
  port::ImageRef imageWithContentsOfURL(const std::string& url) override;
  port::ImageRef imageWithIcon(const port::IconHandle&) override { return nullptr; }
};

}  // namespace zorv::linux_desktop
