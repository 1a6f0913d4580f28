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

inline std::shared_ptr<AXNode> menuNode(MemoryAccessibility& ax, std::int32_t pid,
                                        const MenuSpec& shape, const std::string& role,
                                        BuiltMenu& built) {
  auto node = ax.newNode(pid, role);
  if (shape.hasTitle) node->attributes["AXTitle"] = shape.title;
  node->attributes["AXEnabled"] = shape.enabled;
  built.nodes.emplace_back(shape.title, node);
  if (shape.items.empty()) {
    ax.setChildren(node, {});
    return node;
  }
  auto menu = ax.newNode(pid, "AXMenu");
  std::vector<std::shared_ptr<AXNode>> children;
  for (const auto& entry : shape.items) {
    children.push_back(menuNode(ax, pid, entry, "AXMenuItem", built));
    if (entry.hasSize) children.back()->attributes["AXSize"] = port::Size{120, 22};
  }
  ax.setChildren(menu, children);
  ax.setChildren(node, {menu});
  return node;
}

// Installs the menu bar as the "AXMenuBar" of the application element of `pid`.
inline BuiltMenu installMenuBar(MemoryAccessibility& ax, std::int32_t pid,
                                const std::vector<MenuSpec>& topLevel) {
  BuiltMenu built;
  built.menuBar = ax.newNode(pid, "AXMenuBar");
  std::vector<std::shared_ptr<AXNode>> entries;
  for (const auto& entry : topLevel)
    entries.push_back(menuNode(ax, pid, entry, "AXMenuBarItem", built));
  ax.setChildren(built.menuBar, entries);
  ax.application(pid)->attributes["AXMenuBar"] = ax.ref(built.menuBar);
  return built;
}

}  // namespace zorv::testing
