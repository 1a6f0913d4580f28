#pragma once
// The desktop's accessibility tree, read and driven through zorv-atspi-dump run
// as a child process with the desktop's environment: the test process never
// connects to an accessibility bus itself.

#include <optional>
#include <string>
#include <vector>

#include "child_process.h"

namespace zorv::e2e {

struct AccessibleNode {
  std::string role;  // AT-SPI role name: "application", "frame", "menu bar", "menu item", ...
  std::string name;
  std::vector<std::string> states;  // state nicks: "enabled", "sensitive", "showing", ...
  std::optional<std::string> keys;  // the first action's key binding, when it has actions
  std::vector<AccessibleNode> children;

  bool hasState(const std::string& state) const;
  // The child named `name` (first match), or nullptr.
  const AccessibleNode* child(const std::string& name) const;
  // Depth-first search for the first node with that role (and name, when given).
  const AccessibleNode* find(const std::string& role,
                             const std::optional<std::string>& name = std::nullopt) const;
  // The node at a path of names below the first menu bar: {"File", "Export", "PDF"}.
  const AccessibleNode* menuItem(const std::vector<std::string>& path) const;
  // Children's names, in order.
  std::vector<std::string> childNames() const;
};

// The tree of the application named `app`, waiting up to `timeout` for it to
// appear; nullopt when it did not (or the reader failed), with the reason in
// *problem.
std::optional<AccessibleNode> accessibleApplication(const Environment& env, const std::string& app,
                                                    Duration timeout = kDefaultTimeout,
                                                    std::string* problem = nullptr);

// Presses the menu item at `path` ("File/Save") of the app's menu bar (in the
// window titled `window` when given), waiting up to `timeout` for it to exist.
// False, with the reason in *problem, when it is missing or insensitive.
bool pressMenuItem(const Environment& env, const std::string& app, const std::string& path,
                   const std::optional<std::string>& window = std::nullopt,
                   Duration timeout = kDefaultTimeout, std::string* problem = nullptr);

// The text of the app's first text field.
std::optional<std::string> textFieldContents(const Environment& env, const std::string& app,
                                             Duration timeout = kDefaultTimeout);

}  // namespace zorv::e2e
