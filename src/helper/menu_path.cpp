#include "helper/menu_path.h"

#include "support/unicode.h"

namespace zorv::helper {

std::vector<std::string> menuPath(std::string_view menuTitle,
                                  const std::optional<std::string>& applicationName) {
  constexpr std::string_view separator = "->";
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= menuTitle.size()) {
    std::size_t at = menuTitle.find(separator, start);
    if (at == std::string_view::npos) at = menuTitle.size();
    const auto piece = menuTitle.substr(start, at - start);
    // Empty pieces are dropped before trimming: "  " survives as an empty name.
    if (!piece.empty()) names.push_back(support::trimWhitespaceAndNewlines(piece));
    start = at + separator.size();
  }
  if (applicationName) {
    for (auto& name : names) {
      if (support::canonicallyEqual(name, "ThisApp")) name = *applicationName;
    }
  }
  return names;
}

}  // namespace zorv::helper
