#pragma once
// Keyboard input sources on KWin: the layouts of org.kde.keyboard /Layouts
// (getLayoutsList: short name, label, description; getLayout: the active
// index), named as on X ("us", "de(nodeadkeys)") through xkeyboard-config's
// descriptions, else by their short name. The list and the active index are
// read once and then follow KWin's layoutListChanged and layoutChanged
// signals. Selecting is setLayout with the layout's index in the list now.

#include <gio/gio.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "linux/layout_input_sources.h"

namespace zorv::linux_desktop {

// The identifier of a layout from getLayoutsList's (short name, description):
// the X name xkeyboard-config gives that description, else the short name.
std::string kdeLayoutId(const std::string& shortName, const std::string& description,
                        const std::map<std::string, std::string>& idsByDescription);

class KdeInputSources : public LayoutInputSources {
 public:
  // `sessionBus` may be null (no sources). `keymap` translates keys (the
  // session's keymap, one group per layout); it may give null.
  KdeInputSources(GDBusConnection* sessionBus, std::function<KeymapRef()> keymap);
  ~KdeInputSources() override;
  KdeInputSources(const KdeInputSources&) = delete;
  KdeInputSources& operator=(const KdeInputSources&) = delete;

  port::InputSourceRef copyCurrentKeyboardInputSource() override;
  std::vector<port::InputSourceRef> createInputSourceList(bool includeAllInstalled) override;
  port::StatusCode selectInputSource(const port::InputSourceRef& source) override;

 private:
  bool read();
  GVariant* call(const char* method, GVariant* parameters, const GVariantType* reply);

  GDBusConnection* bus_;
  std::function<KeymapRef()> keymap_;
  guint changedSubscription_ = 0, listChangedSubscription_ = 0;
  std::optional<std::vector<std::shared_ptr<LayoutSource>>> sources_;
  std::optional<std::size_t> active_;
  std::optional<std::map<std::string, std::string>> ids_;
};

}  // namespace zorv::linux_desktop
