#include "helper/accessibility/press_menu_items.h"

#include <optional>

#include "ax/ax_error.h"
#include "helper/accessibility/copy_attribute.h"
#include "support/unicode.h"

namespace zorv::helper {
namespace {

constexpr const char* kThisApp = "ThisApp";

std::string describe(const AccessibilityMenuPressingFailure::Case& failure) {
  struct Describe {
    std::string operator()(const AccessibilityMenuPressingFailure::MenuBarNotExist& f) const {
      return "Failed to find menu bar for application: " + f.applicationTitle;
    }
    std::string operator()(const AccessibilityMenuPressingFailure::MenuItemNotExist& f) const {
      return "The menu item " + f.menuItemName + " doesn't exist.";
    }
    std::string operator()(
        const AccessibilityMenuPressingFailure::AccessibilityPerformActionFailure& f) const {
      return "AXUIElementPerformAction failure: " + ax::axErrorDescription(f.error);
    }
  };
  return std::visit(Describe{}, failure);
}

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

[[noreturn]] void missing(const std::string& name) {
  throw AccessibilityMenuPressingFailure(AccessibilityMenuPressingFailure::MenuItemNotExist{name});
}

// The first of `candidates` whose title equals `name`.
std::optional<port::ElementRef> childTitled(port::Platform& platform,
                                            const std::vector<port::ElementRef>& candidates,
                                            const std::string& name) {
  for (const auto& candidate : candidates) {
    auto title = copyAttribute<std::string>(platform, "AXTitle", candidate);
    if (title && support::canonicallyEqual(*title, name)) return candidate;
  }
  return std::nullopt;
}

}  // namespace

AccessibilityMenuPressingFailure::AccessibilityMenuPressingFailure(Case failure)
    : Error(describe(failure)), failure_(std::move(failure)) {}

void pressMenuItems(port::Platform& platform, std::vector<std::string> menuItems,
                    const port::ElementRef& application) {
  auto role = copyAttribute<std::string>(platform, "AXRole", application);
  if (!role || *role != "AXApplication") {
    throw PreconditionFailure(
        "pressMenuItems should only be called on the element whose role is kAXApplicationRole "
        "(zorv_helper/Accessibility, line 110)");
  }
  if (menuItems.empty()) return;

  if (auto title = copyAttribute<std::string>(platform, "AXTitle", application)) {
    for (auto& item : menuItems) replaceAll(item, kThisApp, *title);
  }

  auto menuBar = copyAttribute<port::ElementRef>(platform, "AXMenuBar", application);
  if (!menuBar) {
    auto title = copyAttribute<std::string>(platform, "AXTitle", application);
    throw AccessibilityMenuPressingFailure(
        AccessibilityMenuPressingFailure::MenuBarNotExist{title.value_or("no title")});
  }

  auto topLevel = copyAttribute<std::vector<port::ElementRef>>(platform, "AXChildren", *menuBar);
  if (!topLevel) missing(menuItems.front());
  auto current = childTitled(platform, *topLevel, menuItems.front());
  if (!current) missing(menuItems.front());

  for (std::size_t level = 1; level < menuItems.size(); ++level) {
    const auto& name = menuItems[level];
    // A menu entry's first child is its submenu; the submenu's children are the items.
    auto children = copyAttribute<std::vector<port::ElementRef>>(platform, "AXChildren", *current);
    if (!children || children->empty()) missing(name);
    auto items =
        copyAttribute<std::vector<port::ElementRef>>(platform, "AXChildren", children->front());
    if (!items || items->empty()) missing(name);
    current = childTitled(platform, *items, name);
    if (!current) missing(name);
  }

  const port::StatusCode pressed = platform.accessibility.performAction(*current, "AXPress");
  if (pressed != port::kSuccess) {
    throw AccessibilityMenuPressingFailure(
        AccessibilityMenuPressingFailure::AccessibilityPerformActionFailure{pressed});
  }
}

}  // namespace zorv::helper
