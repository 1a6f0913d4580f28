#pragma once
// Keyboard input sources on sway: the layouts of the session's keyboard as its
// IPC socket reports them (get_inputs: layout names and the active index),
// named as on X ("us", "de(nodeadkeys)") through xkeyboard-config's list of
// layouts. Selecting switches every keyboard to that layout by its absolute
// index (input type:keyboard xkb_switch_layout N); the layouts may have been
// reordered since the source was read, so the index is looked up afresh.

#include <xkbcommon/xkbcommon.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "linux/layout_input_sources.h"
#include "linux/sway/sway_ipc.h"

namespace zorv::linux_desktop {

// Layout descriptions ("German (no dead keys)") to setxkbmap names
// ("de(nodeadkeys)"), from an xkeyboard-config rules XML file (evdev.xml).
std::map<std::string, std::string> layoutIdsByDescription(const std::string& rulesXml);

// The keyboard whose layouts are the session's: the first that is not a
// virtual keyboard, else the first; its layout names and active index.
struct SwayKeyboardLayouts {
  std::vector<std::string> names;
  std::optional<std::size_t> active;
};
std::optional<SwayKeyboardLayouts> sessionKeyboardLayouts(const nlohmann::json& inputs);

class SwayInputSources : public LayoutInputSources {
 public:
  // `keymap` translates keys (the virtual keyboard's); it may be null.
  SwayInputSources(const SwayIpc* ipc, std::function<KeymapRef()> keymap);

  // The active layout index of the session's keyboard now: asked once, then
  // asked again only after sway has told of a layout change.
  std::optional<xkb_layout_index_t> activeLayout();

  port::InputSourceRef copyCurrentKeyboardInputSource() override;
  std::vector<port::InputSourceRef> createInputSourceList(bool includeAllInstalled) override;
  port::StatusCode selectInputSource(const port::InputSourceRef& source) override;

 private:
  struct Layouts {
    std::vector<std::shared_ptr<LayoutSource>> sources;
    std::optional<std::size_t> active;
  };
  std::optional<Layouts> readLayouts();
  const std::map<std::string, std::string>& ids();

  const SwayIpc* ipc_;
  std::function<KeymapRef()> keymap_;
  std::optional<std::map<std::string, std::string>> ids_;
  std::optional<xkb_layout_index_t> active_;  // kept while the input events come
  std::optional<SwayEvents> inputEvents_;
};

}  // namespace zorv::linux_desktop
