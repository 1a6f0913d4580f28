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
#include "linux/layout_input_sources.h"

namespace zorv::linux_desktop {

// Its name is the shell's, else the id; its layout is null for a source that
// is no XKB layout.
struct GnomeSource : LayoutSource {
  GnomeInputSource source;
};

// The identifier of a source of GNOME's: "de+nodeadkeys" of type "xkb" is
// "de(nodeadkeys)".
std::string gnomeSourceId(const std::string& type, const std::string& id);

class GnomeInputSources : public LayoutInputSources {
 public:
  explicit GnomeInputSources(const GnomeShellExtension& extension);
  ~GnomeInputSources() override;

  port::InputSourceRef copyCurrentKeyboardInputSource() override;
  std::vector<port::InputSourceRef> createInputSourceList(bool includeAllInstalled) override;
  port::StatusCode selectInputSource(const port::InputSourceRef& source) override;

 private:
  std::shared_ptr<GnomeSource> sourceOf(const GnomeInputSource& source);
  // The first source of the user's list in GNOME's settings.
  std::optional<GnomeInputSource> firstConfiguredSource() const;

  const GnomeShellExtension& extension_;
  xkb_context* context_;
  std::map<std::string, std::shared_ptr<const XkbLayout>> layouts_;  // by XKB id
};

}  // namespace zorv::linux_desktop
