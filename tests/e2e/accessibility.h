#pragma once
// The desktop's accessibility tree, read through zorv-atspi-dump run as a child
// process with the desktop's environment: the test process never connects to an
// accessibility bus itself, and the reader shares no code with the helper's.

#include <optional>
#include <string>
#include <vector>

#include "child_process.h"

namespace zorv::e2e {

struct AccessibleNode {
  std::string role;  // AT-SPI role name: "application", "frame", "alert", "push button", ...
  std::string name;
  std::vector<std::string> states;  // state nicks: "active", "modal", ...
  std::vector<AccessibleNode> children;

  bool hasState(const std::string& state) const;
  // Depth-first search for the first node with that role (and name, when given).
  const AccessibleNode* find(const std::string& role,
                             const std::optional<std::string>& name = std::nullopt) const;
};

// The tree of the application named `app`, waiting up to `timeout` for it to
// appear; nullopt when it did not (or the reader failed), with the reason in
// *problem.
std::optional<AccessibleNode> accessibleApplication(const Environment& env, const std::string& app,
                                                    Duration timeout = kDefaultTimeout,
                                                    std::string* problem = nullptr);

// The text of the app's first text field.
std::optional<std::string> textFieldContents(const Environment& env, const std::string& app);

}  // namespace zorv::e2e
