#pragma once
// The keyboard input sources the user can select, read once, and switching
// between them.

#include <memory>
#include <string>
#include <vector>

#include "port/platform.h"

namespace zorv::helper {

class InputSource {
 public:
  // Null for a source without an identifier or a localized name: nothing could
  // name it in a request.
  static std::shared_ptr<InputSource> create(port::TextInputSources& sources,
                                             port::InputSourceRef source);

  port::InputSourceRef tisInputSource;
  std::string id;
  std::string name;
  port::ImageRef icon;  // null when none could be loaded

  // Only the identifiers count.
  friend bool operator==(const InputSource& a, const InputSource& b);
};

// Where the icon of a source whose icon URL is `url` is looked for, in order:
// the high-resolution file ("US@2x.png"), the TIFF file ("US.tiff"), the URL
// itself.
std::vector<std::string> iconCandidates(const std::string& url);

class InputSourceManager {
 public:
  explicit InputSourceManager(port::Platform& platform) : platform_(platform) {}
  InputSourceManager(const InputSourceManager&) = delete;
  InputSourceManager& operator=(const InputSourceManager&) = delete;

  const std::vector<std::shared_ptr<InputSource>>& inputSources() const { return inputSources_; }

  // Replaces the list with the enabled keyboard sources that can be selected.
  void refreshInputSources();
  // Selects every listed source whose identifier is `inputSourceID`; the list is
  // read on first use (and again only while it is empty). Reports nothing.
  void switchInputMethod(const std::string& inputSourceID);
  // Command-Shift-Space, as the shortcut to the previous source.
  void selectPrevious();

 private:
  port::Platform& platform_;
  std::vector<std::shared_ptr<InputSource>> inputSources_;
};

}  // namespace zorv::helper
