#pragma once
// Look-up from a platform string to the vocabulary case that has it as raw value.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "support/unicode.h"

namespace zorv::ax::internal {

// Built once per vocabulary from its raw values in case order. The raw values must
// outlive the index; the vocabularies pass tables of literals.
template <class Case>
class RawValueIndex {
 public:
  template <std::size_t count>
  explicit RawValueIndex(const std::array<std::string_view, count>& rawValues) {
    byRawValue_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) byRawValue_.emplace(rawValues[i], static_cast<Case>(i));
  }

  // Full-string, case-sensitive match under canonical equivalence. Raw values are
  // ASCII and so already canonical; only the input needs normalising.
  std::optional<Case> find(std::string_view text) const {
    const std::string canonical = support::canonicalForm(text);
    const auto found = byRawValue_.find(canonical);
    if (found == byRawValue_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::unordered_map<std::string_view, Case> byRawValue_;
};

}  // namespace zorv::ax::internal
