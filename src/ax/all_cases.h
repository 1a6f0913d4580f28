#pragma once
// Every case of a vocabulary, in case order, for code that needs to walk them all.

#include <array>
#include <cstddef>

namespace zorv::ax::internal {

// The vocabularies number their cases 0, 1, 2... in case order, so the list is the
// first `count` values of the enumeration.
template <class Case, std::size_t count>
constexpr std::array<Case, count> allCases() {
  std::array<Case, count> cases{};
  for (std::size_t i = 0; i < count; ++i) cases[i] = static_cast<Case>(i);
  return cases;
}

}  // namespace zorv::ax::internal
