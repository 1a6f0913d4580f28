// The two menu kinds of the action executor: `menu` (a list of titles, pressed
// in the focused application) and `menuCommand` (a path text, resolved against
// the frontmost application's menu tree).

#include <string>
#include <vector>

#include "helper/accessibility/copy_attribute.h"
#include "helper/accessibility/press_menu_items.h"
#include "helper/action_executor.h"
#include "helper/menu_path.h"
#include "helper/menu_reader.h"
#include "support/list_notation.h"
#include "support/unicode.h"

namespace zorv::helper {

void ActionExecutor::menu(const std::vector<std::string>& menuItems) {
  auto& out = platform_.standardOutput;
  out.writeLine("unexpected, supposed to be replaced by menuCommand");
  out.writeLine(support::listNotation(menuItems));
  if (!checkPermission()) return;

  auto application =
      copyAttribute<port::ElementRef>(platform_, "AXFocusedApplication", systemWide());
  if (!application) return;
  try {
    pressMenuItems(platform_, menuItems, *application);
  } catch (const support::Error& error) {
    out.writeLine(error.localizedDescription());
  }
}

void ActionExecutor::menuCommand(const HelperAction::MenuCommandInfo& info) {
  platform_.standardOutput.writeLine(info.menuTitle);
  if (!checkPermission()) return;

  auto frontmost = platform_.workspace.frontmostApplication();
  if (!frontmost) return reportMenuUnavailable();
  auto current = MenuReader::readMenuTree(platform_, frontmost->processIdentifier());
  if (!current) return reportMenuUnavailable();

  for (const auto& name : menuPath(info.menuTitle, frontmost->localizedName())) {
    std::vector<std::shared_ptr<MenuReader::MenuItem>> matches;
    current->collectItems(
        [&name](const MenuReader::MenuItem& item) {
          return support::canonicallyEqual(item.name, name);
        },
        matches);
    if (matches.empty()) {
      reporter_.postUserNotification(
          "Failed to find the menu named '" + name + "' or it is currently unavailable.",
          std::nullopt);
      return;
    }
    current = matches.front();
  }
  MenuReader::pressMenuItem(platform_, *current);
}

void ActionExecutor::reportMenuUnavailable() {
  const std::string text = "Failed to get the frontmost application's menu.";
  reporter_.postUserNotification(text, std::nullopt);
  platform_.standardOutput.writeLine(text);
}

}  // namespace zorv::helper
