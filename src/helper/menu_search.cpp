#include "helper/menu_search.h"

#include "ax/ax_error.h"
#include "helper/menu_attributes.h"
#include "helper/menu_reader.h"
#include "support/unicode.h"

namespace zorv::helper {

class MenuSearch::Node {
 public:
  std::string name;
  port::ElementRef element;  // null for the root
  int depth = 0;             // 0 root, 1 menu bar item, 2 and more menu items
  std::optional<bool> kept;  // whether the whole-tree reading would keep it
  std::optional<std::vector<port::ElementRef>> submenus;
  std::optional<std::vector<std::unique_ptr<Node>>> items;
};

using namespace menu_attributes;

MenuSearch::MenuSearch(port::Platform& platform) : platform_(platform) {}
MenuSearch::~MenuSearch() = default;

std::unique_ptr<MenuSearch> MenuSearch::open(port::Platform& platform, port::Pid pid) {
  const auto application = platform.accessibility.createApplication(pid);
  auto menuBar = platform.accessibility.copyAttributeValue(application, "AXMenuBar");
  if (!menuBar.ok()) {
    platform.standardOutput.writeLine("error: " + ax::axErrorDescription(menuBar.code) + ".");
    return nullptr;
  }
  const auto* bar = menuBar.value.get<port::ElementRef>();
  if (!bar || !*bar) return nullptr;
  std::unique_ptr<MenuSearch> search(new MenuSearch(platform));
  search->root_ = std::make_unique<Node>();
  search->root_->name = "Root";
  search->root_->kept = true;
  // The root stands for the menu bar: its items are the bar's children.
  search->root_->element = *bar;
  return search;
}

std::vector<std::unique_ptr<MenuSearch::Node>>& MenuSearch::items(Node& node) {
  if (node.items) return *node.items;
  node.items.emplace();
  auto& items = *node.items;
  if (node.depth == 0) {
    auto entries = readElements(platform_, node.element, "AXChildren");
    if (!entries) return items;
    for (const auto& entry : *entries) {
      auto title = readString(platform_, entry, "AXTitle");
      if (!title) continue;
      auto item = std::make_unique<Node>();
      // The first menu of the bar is the system menu; it is named by its logo glyph.
      item->name = (items.empty() && *title == "Apple") ? "\uF8FF" : std::move(*title);
      item->element = entry;
      item->depth = 1;
      item->kept = true;  // a menu bar item is kept whatever its size or state
      items.push_back(std::move(item));
    }
    return items;
  }
  for (const auto& submenu : submenus(node)) {
    auto entries = readElements(platform_, submenu, "AXChildren");
    if (!entries) continue;
    for (const auto& entry : *entries) {
      auto title = readString(platform_, entry, "AXTitle");
      if (!title || title->empty()) continue;  // separators have no title
      auto item = std::make_unique<Node>();
      item->name = std::move(*title);
      item->element = entry;
      item->depth = node.depth + 1;
      items.push_back(std::move(item));
    }
  }
  return items;
}

// The children of a menu entry are its submenus; their children are the items.
// Menus deeper than the whole-tree reading goes have none.
const std::vector<port::ElementRef>& MenuSearch::submenus(Node& node) {
  if (!node.submenus) {
    node.submenus.emplace();
    if (node.depth <= MenuReader::kMaxDepth) {
      if (auto read = readElements(platform_, node.element, "AXChildren")) node.submenus = *read;
    }
  }
  return *node.submenus;
}

// A menu item is in the tree when it has a size and is enabled; one that is not
// is dropped together with its submenu.
bool MenuSearch::kept(Node& node) {
  if (!node.kept) {
    node.kept =
        read(platform_, node.element, "AXSize").has_value() && isEnabled(platform_, node.element);
  }
  return *node.kept;
}

MenuSearch::Node* MenuSearch::findFirst(Node& from, const std::string& name) {
  auto& candidates = items(from);
  for (auto& item : candidates) {
    if (support::canonicallyEqual(item->name, name) && kept(*item)) return item.get();
  }
  for (auto& item : candidates) {
    // Nothing can be found below an item without a submenu, kept or not: its
    // size and state are read only when a search goes below it.
    if (submenus(*item).empty() || !kept(*item)) continue;
    if (auto* found = findFirst(*item, name)) return found;
  }
  return nullptr;
}

void MenuSearch::press(const Node& node) {
  if (node.depth == 0 || !node.element) return;  // the root has no element of its own
  if (!isEnabled(platform_, node.element)) return;
  platform_.accessibility.performAction(node.element, "AXPress");  // outcome not checked
}

void MenuSearch::walk(bool withUnreachable, const std::function<void(const Visit&)>& visit) {
  std::vector<std::string> names;
  walkBelow(*root_, names, withUnreachable, visit);
}

bool MenuSearch::reaches(const std::vector<std::string>& names, const port::ElementRef& element) {
  Node* current = root_.get();
  for (const auto& name : names) {
    if (!(current = findFirst(*current, name))) return false;
  }
  return current != root_.get() && port::sameElement(current->element, element);
}

void MenuSearch::walkBelow(Node& node, std::vector<std::string>& names, bool withUnreachable,
                           const std::function<void(const Visit&)>& visit) {
  auto& titled = items(node);
  std::size_t next = 0;  // the titled items come in the order of the entries read here
  auto meet = [&](Node& item) {
    bool first = true;
    for (std::size_t i = 0; i < next && first; ++i) {
      first = !(support::canonicallyEqual(titled[i]->name, item.name) && kept(*titled[i]));
    }
    ++next;
    names.push_back(item.name);
    const bool hasSubmenu = !submenus(item).empty();
    visit({names, item.element, true, hasSubmenu, kept(item), first});
    if (hasSubmenu && (withUnreachable || kept(item))) {
      walkBelow(item, names, withUnreachable, visit);
    }
    names.pop_back();
  };
  if (node.depth == 0 || !withUnreachable) {
    for (auto& item : titled) meet(*item);
    return;
  }
  // The untitled entries between the titled ones, read again (as items() read them).
  for (const auto& submenu : submenus(node)) {
    auto entries = readElements(platform_, submenu, "AXChildren");
    if (!entries) continue;
    for (const auto& entry : *entries) {
      if (next < titled.size() && port::sameElement(titled[next]->element, entry)) {
        meet(*titled[next]);
        continue;
      }
      auto title = readString(platform_, entry, "AXTitle");
      if (title && !title->empty()) continue;  // a title that came only now
      names.emplace_back();
      visit({names, entry, false, false, false, false});
      names.pop_back();
    }
  }
}

}  // namespace zorv::helper
