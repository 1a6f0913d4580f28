#include "helper/menu_reader.h"

#include "ax/ax_error.h"
#include "helper/menu_attributes.h"
#include "support/unicode.h"

namespace zorv::helper {
namespace {

using MenuItem = MenuReader::MenuItem;
using namespace menu_attributes;

std::vector<std::string> splitAtBlanks(const std::string& text) {
  std::vector<std::string> parts{""};
  for (char c : text) {
    if (c == ' ') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

std::optional<std::vector<std::string>> readShortcut(port::Platform& platform,
                                                     const port::ElementRef& element) {
  auto key = readString(platform, element, "AXMenuItemCmdChar");
  if (!key || key->empty()) return std::nullopt;
  auto modifiers = readInteger(platform, element, "AXMenuItemCmdModifiers");
  if (!modifiers || *modifiers < 0 || *modifiers > 15) return std::nullopt;
  auto shortcut = splitAtBlanks(MenuReader::shortcutGlyphs()[std::size_t(*modifiers)]);
  shortcut.push_back(*key);
  return shortcut;
}

void fillSubmenu(port::Platform& platform, const port::ElementRef& element,
                 const std::shared_ptr<MenuItem>& node, int depth);

void addMenuItem(port::Platform& platform, const port::ElementRef& element,
                 const std::shared_ptr<MenuItem>& parent, int depth) {
  auto title = readString(platform, element, "AXTitle");
  if (!title || title->empty()) return;  // separators have no title
  if (!read(platform, element, "AXSize")) return;
  if (!isEnabled(platform, element)) return;  // and so is its whole submenu

  auto item = std::make_shared<MenuItem>();
  item->name = std::move(*title);
  item->axUIElement = element;
  item->parent = parent;
  item->shortcuts = readShortcut(platform, element);
  parent->subitems.push_back(item);
  fillSubmenu(platform, element, item, depth + 1);
}

// The children of a menu entry are its submenus; their children are the items.
void fillSubmenu(port::Platform& platform, const port::ElementRef& element,
                 const std::shared_ptr<MenuItem>& node, int depth) {
  if (depth > MenuReader::kMaxDepth) return;
  auto submenus = readElements(platform, element, "AXChildren");
  if (!submenus) return;
  for (const auto& submenu : *submenus) {
    auto items = readElements(platform, submenu, "AXChildren");
    if (!items) continue;
    for (const auto& item : *items) addMenuItem(platform, item, node, depth);
  }
}

}  // namespace

void MenuItem::collectItems(const std::function<bool(const MenuItem&)>& predicate,
                            std::vector<std::shared_ptr<MenuItem>>& result) const {
  for (const auto& item : subitems) {
    if (predicate(*item)) result.push_back(item);
  }
  for (const auto& item : subitems) item->collectItems(predicate, result);
}

bool operator==(const MenuItem& a, const MenuItem& b) {
  if (!support::canonicallyEqual(a.name, b.name)) return false;
  return port::sameElement(a.axUIElement, b.axUIElement);
}

const std::array<std::string, 16>& MenuReader::shortcutGlyphs() {
  static const std::array<std::string, 16> table = [] {
    std::array<std::string, 16> glyphs;
    for (int value = 0; value < 16; ++value) {
      std::string text;
      auto add = [&text](const char* glyph) {
        text += (text.empty() ? "" : " ") + std::string(glyph);
      };
      if (value & 4) add("\u2303");     // Control
      if (value & 2) add("\u2325");     // Option
      if (value & 1) add("\u21E7");     // Shift
      if (!(value & 8)) add("\u2318");  // Command unless "no Command"
      glyphs[std::size_t(value)] = text;
    }
    return glyphs;
  }();
  return table;
}

std::shared_ptr<MenuItem> MenuReader::readMenuTree(port::Platform& platform, port::Pid pid) {
  const auto application = platform.accessibility.createApplication(pid);
  auto menuBarValue = platform.accessibility.copyAttributeValue(application, "AXMenuBar");
  if (!menuBarValue.ok()) {
    platform.standardOutput.writeLine("error: " + ax::axErrorDescription(menuBarValue.code) + ".");
    return nullptr;
  }
  const auto* menuBar = menuBarValue.value.get<port::ElementRef>();
  if (!menuBar || !*menuBar) return nullptr;

  auto root = std::make_shared<MenuItem>();
  root->name = "Root";
  auto entries = readElements(platform, *menuBar, "AXChildren");
  if (!entries) return root;
  for (const auto& entry : *entries) {
    auto title = readString(platform, entry, "AXTitle");
    if (!title) continue;
    auto item = std::make_shared<MenuItem>();
    // The first menu of the bar is the system menu; it is named by its logo glyph.
    item->name = (root->subitems.empty() && *title == "Apple") ? "\uF8FF" : std::move(*title);
    item->axUIElement = entry;
    item->parent = root;
    root->subitems.push_back(item);
    fillSubmenu(platform, entry, item, 1);
  }
  return root;
}

void MenuReader::pressMenuItem(port::Platform& platform, const MenuItem& item) {
  if (!item.axUIElement) return;
  if (!isEnabled(platform, item.axUIElement)) return;
  platform.accessibility.performAction(item.axUIElement, "AXPress");  // outcome not checked
}

}  // namespace zorv::helper
