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
  for (const auto& spec : items) {
    auto item = ax.newNode(pid, "AXMenuItem");
    if (spec.hasTitle) item->attributes["AXTitle"] = spec.title;
    if (spec.hasSize) item->attributes["AXSize"] = port::Size{120, 22};
    item->attributes["AXEnabled"] = spec.enabled;
    if (spec.cmdChar) item->attributes["AXMenuItemCmdChar"] = *spec.cmdChar;
    if (spec.cmdModifiers)
      item->attributes["AXMenuItemCmdModifiers"] = port::Number{*spec.cmdModifiers};
    built.nodes.emplace_back(spec.title, item);
    fillMenu(ax, pid, item, spec.items, built);
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
  for (const auto& spec : topLevel) {
    auto entry = ax.newNode(pid, "AXMenuBarItem");
    if (spec.hasTitle) entry->attributes["AXTitle"] = spec.title;
    entry->attributes["AXEnabled"] = spec.enabled;
    built.nodes.emplace_back(spec.title, entry);
    fillMenu(ax, pid, entry, spec.items, built);
    entries.push_back(entry);
  }
  ax.setChildren(built.menuBar, entries);
  ax.application(pid)->attributes["AXMenuBar"] = ax.ref(built.menuBar);
  return built;
}

}  // namespace zorv::testing
