#pragma once
// Keyboard input sources and the translation of key codes through a layout.
// Threads: every call on the main thread.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "port/types.h"

namespace zorv::port {

// One input source of the platform (a keyboard layout, an input method, ...).
class InputSourceHandle {
 public:
  virtual ~InputSourceHandle() = default;
};
using InputSourceRef = std::shared_ptr<const InputSourceHandle>;

// The layout data of a keyboard input source; opaque to the core, passed back to
// `keyTranslate` untouched.
class KeyboardLayout {
 public:
  virtual ~KeyboardLayout() = default;
};

// An icon the platform keeps for a source.
class IconHandle {
 public:
  virtual ~IconHandle() = default;
};

enum class InputSourceProperty {
  inputSourceID,        // string
  localizedName,        // string
  inputSourceCategory,  // string
  isSelectCapable,      // bool
  iconImageURL,         // URL (a string in URL syntax)
  iconRef,              // icon
  unicodeKeyLayoutData  // layout
};

struct URLValue {
  std::string url;
};

using PropertyValue = std::variant<std::string, bool, URLValue, std::shared_ptr<const IconHandle>,
                                   std::shared_ptr<const KeyboardLayout>>;

inline constexpr const char* kCategoryKeyboardInputSource = "TISCategoryKeyboardInputSource";

enum class KeyAction : std::uint16_t { down = 0, up = 1, autoKey = 2, display = 3 };
inline constexpr std::uint32_t kKeyTranslateNoDeadKeysMask = 1;

struct KeyTranslation {
  StatusCode status = kSuccess;
  std::u16string text;  // at most `maxLength` UTF-16 code units
};

// An image loaded for display.
class Image {
 public:
  virtual ~Image() = default;
};
using ImageRef = std::shared_ptr<const Image>;

class TextInputSources {
 public:
  virtual ~TextInputSources() = default;

  virtual InputSourceRef copyCurrentKeyboardInputSource() = 0;
  virtual std::vector<InputSourceRef> createInputSourceList(bool includeAllInstalled) = 0;
  // Absent when the source has no such property.
  virtual std::optional<PropertyValue> getInputSourceProperty(const InputSourceRef& source,
                                                              InputSourceProperty property) = 0;
  virtual StatusCode selectInputSource(const InputSourceRef& source) = 0;

  virtual std::uint32_t keyboardType() = 0;
  // `deadKeyState` is read and updated as the platform does.
  virtual KeyTranslation keyTranslate(const KeyboardLayout& layout, std::uint16_t virtualKeyCode,
                                      KeyAction action, std::uint32_t modifierKeyState,
                                      std::uint32_t keyboardType, std::uint32_t options,
                                      std::uint32_t& deadKeyState, std::size_t maxLength) = 0;

  // Images: from the contents of a URL, or from an icon of the platform.
  virtual ImageRef imageWithContentsOfURL(const std::string& url) = 0;
  virtual ImageRef imageWithIcon(const IconHandle& icon) = 0;
};

}  // namespace zorv::port
