#include "helper/argument_splitting.h"

#include "support/unicode.h"

namespace zorv::helper {

std::vector<std::string> launchArguments(const std::optional<std::string>& text) {
  return support::splitDroppingEmpty(text.value_or(""), support::isWhitespace);
}

std::optional<std::vector<std::string>> executeFileArguments(
    const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return support::splitDroppingEmpty(*text, support::isWhitespaceOrNewline);
}

}  // namespace zorv::helper
