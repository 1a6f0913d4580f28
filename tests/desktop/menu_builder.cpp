#include "desktop/menu_builder.h"

namespace zorv::testing {
namespace {

void fillMenu(MemoryAccessibility& ax, std::int32_t pid, const std::shared_ptr<AXNode>& owner,
              const std::vector<MenuSpec>& items, BuiltMenu& built) {
  if (items.empty()) {
    ax.setChildren(owner, {});
    return;
  }
  auto menu = ax.newNode(pid, "AXMenu");
  std::vector<std::shared_ptr<AXNode>> children;
  for (const auto& entry : items) {
    auto item = ax.newNode(pid, "AXMenuItem");
    if (entry.hasTitle) item->attributes["AXTitle"] = entry.title;
    if (entry.hasSize) item->attributes["AXSize"] = port::Size{120, 22};
    item->attributes["AXEnabled"] = entry.enabled;
    built.nodes.emplace_back(entry.title, item);
    fillMenu(ax, pid, item, entry.items, built);
    children.push_back(item);
  }
  ax.setChildren(menu, children);
  ax.setChildren(owner, {menu});
}

}  // namespace

BuiltMenu installMenuBar(MemoryAccessibility& ax, std::int32_t pid,
                         const std::vector<MenuSpec>& topLevel) {
  BuiltMenu built;
  built.menuBar = ax.newNode(pid, "AXMenuBar");
  std::vector<std::shared_ptr<AXNode>> entries;
  for (const auto& wanted : topLevel) {
    auto entry = ax.newNode(pid, "AXMenuBarItem");
    if (wanted.hasTitle) entry->attributes["AXTitle"] = wanted.title;
    entry->attributes["AXEnabled"] = wanted.enabled;
    built.nodes.emplace_back(wanted.title, entry);
    fillMenu(ax, pid, entry, wanted.items, built);
    entries.push_back(entry);
  }
  ax.setChildren(built.menuBar, entries);
  ax.application(pid)->attributes["AXMenuBar"] = ax.ref(built.menuBar);
  return built;
}

}  // namespace zorv::testing
