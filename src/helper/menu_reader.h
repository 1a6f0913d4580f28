#pragma once
// Reads an application's whole menu bar into a tree of the items that can be
// chosen, with their keyboard shortcuts, and presses items of it.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/platform.h"

namespace zorv::helper {

struct MenuReader {
  class MenuItem {
   public:
    std::string name;
    port::ElementRef axUIElement;  // null for the root
    std::weak_ptr<MenuItem> parent;
    std::optional<std::vector<std::string>> shortcuts;
    std::vector<std::shared_ptr<MenuItem>> subitems;

    // Appends every matching node below this one: the matching direct subitems
    // first, then the matches inside each subitem's subtree, subitem by subitem.
    void collectItems(const std::function<bool(const MenuItem&)>& predicate,
                      std::vector<std::shared_ptr<MenuItem>>& result) const;

    friend bool operator==(const MenuItem& a, const MenuItem& b);
  };

  // The root ("Root", no element) of the menu bar of `pid`, or null when the
  // menu bar cannot be read.
  static std::shared_ptr<MenuItem> readMenuTree(port::Platform& platform, port::Pid pid);

  // Presses the item when it has an element that is enabled right now.
  static void pressMenuItem(port::Platform& platform, const MenuItem& item);

  // Modifier text by the value of "AXMenuItemCmdModifiers" (0 to 15).
  static const std::array<std::string, 16>& shortcutGlyphs();

  // Menus deeper than this are not read: real menus are a handful of levels deep,
  // and a tree that loops back on itself must not recurse forever.
  static constexpr int kMaxDepth = 32;
};

}  // namespace zorv::helper
