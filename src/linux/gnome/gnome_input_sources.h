#pragma once
// Input sources on GNOME: the shell's own list, in the user's order, with the
// current one, through the helper's shell extension; selecting goes through it
// too. An XKB source is named as on X ("us", "de(nodeadkeys)"), any other
// "type:id" ("ibus:anthy"); its layout data comes from xkbcommon, compiled
// from the layout's name as mutter compiles it.
//
// Without the extension no source can be selected, so none is listed (every
// identifier is unknown, and selecting one does nothing); the current source
// is then the first of the user's list in GNOME's settings, as the shell
// starts with it, so that keys are still named by a layout.

#include <xkbcommon/xkbcommon.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "linux/gnome/gnome_shell_extension.h"
#include "linux/x11/xkb_layout.h"
#include "port/text_input_sources.h"

namespace zorv::linux_desktop {

struct GnomeSource : port::InputSourceHandle {
  GnomeInputSource source;
  std::string id;
  std::shared_ptr<const XkbLayout> layout;  // null for a source that is no XKB layout
};

// The identifier of a source of GNOME's: "de+nodeadkeys" of type "xkb" is
// "de(nodeadkeys)".
std::string gnomeSourceId(const std::string& type, const std::string& id);

class GnomeInputSources : public port::TextInputSources {
 public:
  explicit GnomeInputSources(const GnomeShellExtension& extension);
  ~GnomeInputSources() override;

  port::InputSourceRef copyCurrentKeyboardInputSource() override;
  std::vector<port::InputSourceRef> createInputSourceList(bool includeAllInstalled) override;
  std::optional<port::PropertyValue> getInputSourceProperty(
      const port::InputSourceRef& source, port::InputSourceProperty property) override;
  port::StatusCode selectInputSource(const port::InputSourceRef& source) override;

  std::uint32_t keyboardType() override { return 0; }
  port::KeyTranslation keyTranslate(const port::KeyboardLayout& layout,
                                    std::uint16_t virtualKeyCode, port::KeyAction action,
                                    std::uint32_t modifierKeyState, std::uint32_t keyboardType,
                                    std::uint32_t options, std::uint32_t& deadKeyState,
                                    std::size_t maxLength) override;
  port::ImageRef imageWithContentsOfURL(const std::string&) override { return nullptr; }
  port::ImageRef imageWithIcon(const port::IconHandle&) override { return nullptr; }

 private:
  std::shared_ptr<GnomeSource> sourceOf(const GnomeInputSource& source);
  // The first source of the user's list in GNOME's settings.
  std::optional<GnomeInputSource> firstConfiguredSource() const;

  const GnomeShellExtension& extension_;
  xkb_context* context_;
  std::map<std::string, std::shared_ptr<const XkbLayout>> layouts_;  // by XKB id
};

}  // namespace zorv::linux_desktop
