#pragma once
// Accessibility orientation of an element such as a scroll bar or split group. The
// platform reports it as a small integer, not a string.

#include <cstddef>
#include <optional>
#include <span>

#include "ax/all_cases.h"

namespace zorv::ax {

enum class Orientation : int {
  unknown = 0,
  vertical = 1,
  horizontal = 2,
};

inline constexpr std::size_t kOrientationCount = 3;

namespace internal {
inline constexpr auto kAllOrientations = allCases<Orientation, kOrientationCount>();
}  // namespace internal

// Every case, in case order.
constexpr std::span<const Orientation, kOrientationCount> allOrientations() {
  return internal::kAllOrientations;
}

constexpr int rawValue(Orientation orientation) {
  return static_cast<int>(orientation);
}

// Absent for any integer other than 0, 1 and 2.
constexpr std::optional<Orientation> orientationFromRawValue(int value) {
  if (value < 0 || value >= static_cast<int>(kOrientationCount)) return std::nullopt;
  return static_cast<Orientation>(value);
}

}  // namespace zorv::ax
