// The two menu kinds of the action executor: `menu` (a list of titles, pressed
// in the focused application) and `menuCommand` (a path text, resolved against
// the frontmost application's menu tree).

#include <string>
#include <vector>

#include "helper/accessibility/copy_attribute.h"
#include "helper/accessibility/press_menu_items.h"
#include "helper/action_executor.h"
#include "helper/menu_path.h"
#include "helper/menu_search.h"
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
  // Only the menus on the way are read, not the whole bar: the result is the
  // same, and a deep path on a big menu bar does not keep the user waiting.
  auto search = MenuSearch::open(platform_, frontmost->processIdentifier());
  if (!search) return reportMenuUnavailable();

  MenuSearch::Node* current = &search->root();
  for (const auto& name : menuPath(info.menuTitle, frontmost->localizedName())) {
    current = search->findFirst(*current, name);
    if (!current) {
      reporter_.postUserNotification(
          "Failed to find the menu named '" + name + "' or it is currently unavailable.",
          std::nullopt);
      return;
    }
  }
  search->press(*current);
}

void ActionExecutor::reportMenuUnavailable() {
  const std::string text = "Failed to get the frontmost application's menu.";
  reporter_.postUserNotification(text, std::nullopt);
  platform_.standardOutput.writeLine(text);
}

}  // namespace zorv::helper
