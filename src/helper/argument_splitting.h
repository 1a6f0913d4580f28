#pragma once
// How the two launching kinds turn their one arguments text into a list. Neither
// knows quoting or escaping: quote characters and backslashes are ordinary.

#include <optional>
#include <string>
#include <vector>

namespace zorv::helper {

// `launchApp`: split at white space only (space separators and tab); a line
// break stays inside its argument. Absent text gives an empty list.
std::vector<std::string> launchArguments(const std::optional<std::string>& text);

// `executeFile`: split at white space and line breaks alike. Absent text stays
// absent (the run then uses an empty list).
std::optional<std::vector<std::string>> executeFileArguments(
    const std::optional<std::string>& text);

}  // namespace zorv::helper
