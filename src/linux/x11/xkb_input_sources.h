#pragma once
// Keyboard input sources on X: each layout group of the X server's keymap is one
// source, named as setxkbmap names it ("us", "de(nodeadkeys)"); the current
// source is the locked group, and selecting a source locks the group that holds
// its layout at that moment (layouts may have been reordered since it was read).

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon.h>

#include <optional>
#include <string>
#include <vector>

#include "linux/layout_input_sources.h"
#include "linux/x11/x11_display.h"

namespace zorv::linux_desktop {

// The identifier of each group, from the value of the root window property
// _XKB_RULES_NAMES (rules, model, layouts, variants and options, each ended by
// a NUL): "us,de" with variants ",nodeadkeys" gives "us" and "de(nodeadkeys)".
std::vector<std::string> inputSourceIDs(const std::string& rulesNames);

// A source is one layout of the keymap that was current when it was read: its
// id is absent when the rules name no layout for the group, its name is the
// group's in the keymap ("English (US)", "German"), and its layout that
// keymap's group, kept with the keymap: it translates as the layout did when
// the source was read, whatever the server's keymap becomes. The group index
// is only where the layout was then: selecting goes by the id.
class XkbTextInputSources : public LayoutInputSources {
 public:
  // `display` may be null (no X server): then there are no sources.
  explicit XkbTextInputSources(X11Display* display);
  ~XkbTextInputSources() override;
  XkbTextInputSources(const XkbTextInputSources&) = delete;
  XkbTextInputSources& operator=(const XkbTextInputSources&) = delete;

  port::InputSourceRef copyCurrentKeyboardInputSource() override;
  // The groups of the keymap in their order, also for `includeAllInstalled`:
  // only the groups of the keymap can be selected.
  std::vector<port::InputSourceRef> createInputSourceList(bool includeAllInstalled) override;
  // Locks the group whose identifier is the source's in the server's keymap
  // now; -50 (nothing locked) when no group has it any more, or for a source
  // without an identifier.
  port::StatusCode selectInputSource(const port::InputSourceRef& source) override;

 private:
  struct Groups {
    std::vector<std::shared_ptr<LayoutSource>> sources;
    xkb_layout_index_t locked = 0;
  };
  // The server's keymap and locked group now; nothing without a connection.
  std::optional<Groups> readGroups();
  bool connect();

  X11Display* display_;
  xkb_context* context_;
  // The keymap is read over XCB, which xkbcommon speaks; the Xlib connection
  // stays the one that changes state, so requests of both are ordered by XSync.
  xcb_connection_t* xcb_ = nullptr;
  std::int32_t device_ = -1;
  bool connectTried_ = false;
};

}  // namespace zorv::linux_desktop
