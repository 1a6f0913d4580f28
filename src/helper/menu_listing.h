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

  // The items without a submenu of the menu bar of `pid`, or of the frontmost
  // application, in menu order; those menuCommand skips only `withSkipped`.
  // Nothing is written to the platform's standard output.
  static MenuListing read(port::Platform& platform, std::optional<port::Pid> pid, bool withSkipped);
};

}  // namespace zorv::helper
