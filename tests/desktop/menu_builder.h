#pragma once
// Builds an application's menu bar in the in-memory accessibility tree, shaped as
// the platform shapes it: menu bar → menu bar items → one menu each → menu items,
// and an item with a submenu again has one menu child holding its items.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/memory_accessibility.h"

namespace zorv::testing {

struct MenuSpec {
  std::string title;
  std::vector<MenuSpec> items{};
  bool enabled = true;
  bool hasSize = true;
  bool hasTitle = true;
};

struct BuiltMenu {
  std::shared_ptr<AXNode> menuBar;
  // Every item node, in the order they were built (depth first), by title.
  std::vector<std::pair<std::string, std::shared_ptr<AXNode>>> nodes;

  // The first node built with `title`.
  std::shared_ptr<AXNode> find(const std::string& title) const {
    for (const auto& [t, n] : nodes) {
      if (t == title) return n;
    }
    return nullptr;
  }
};

// Installs the menu bar as the "AXMenuBar" of the application element of `pid`.
BuiltMenu installMenuBar(MemoryAccessibility& ax, std::int32_t pid,
                         const std::vector<MenuSpec>& topLevel);

}  // namespace zorv::testing
