#pragma once
// The path of item names a `menuCommand` text names, such as "File -> Export -> PDF".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorv::helper {

// Splits at every "->", drops empty pieces, then trims white space and line
// breaks from both ends of each piece (so a piece of spaces becomes an empty
// name). A name equal to "ThisApp" becomes `applicationName` when there is one.
std::vector<std::string> menuPath(std::string_view menuTitle,
                                  const std::optional<std::string>& applicationName);

}  // namespace zorv::helper
