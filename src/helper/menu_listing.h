#pragma once
// The menu paths an application offers, written as `menuCommand` takes them
// ("File -> Export -> PDF"), read with the very search menuCommand resolves a
// path with: every path listed as reachable leads menuCommand to that item.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "port/platform.h"

namespace zorv::helper {

struct MenuListing {
  struct Shortcut {
    std::string key;  // "E", "F5", "Delete"
    std::int64_t modifiers =
        8;  // as "AXMenuItemCmdModifiers": 1 shift, 2 option, 4 control, 8 no command
  };
  struct Entry {
    std::string path;
    std::vector<std::string> names;  // the path's names
    bool enabled = true;             // the item and every menu above it
    std::optional<Shortcut> shortcut;
    // Why menuCommand does not reach it, or empty when it does: "disabled",
    // "hidden" (no size), "untitled", "duplicate" (an earlier item of its menu
    // has the same name), "unwritable" (the path notation cannot name it).
    std::string skipped;
    port::ElementRef element;
  };
  enum class Failure { noFrontmostApplication, noAccessibilityBus, noMenuBar };

  std::optional<Failure> failure;
  port::Pid pid = 0;
  std::optional<std::string> applicationName;
  std::vector<Entry> entries;

  struct Options {
    std::optional<port::Pid> pid;  // else the frontmost application
    bool withSkipped = false;      // also the items menuCommand skips
    bool withShortcuts = false;    // one more read per item
  };

  // The items without a submenu of the menu bar, in menu order. Nothing is
  // written to the platform's standard output.
  static MenuListing read(port::Platform& platform, const Options& options);
};

}  // namespace zorv::helper
