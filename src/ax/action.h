#pragma once
// Accessibility actions: what an element can be asked to do.

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace zorv::ax {

// The order is fixed: a case's index is its position here, starting at 0.
enum class Action {
  press,
  increment,
  decrement,
  confirm,
  pick,
  cancel,
  raise,
  showMenu,
  delete_,  // "delete" is a C++ keyword
  showAlternateUI,
  showDefaultUI,
};

inline constexpr std::size_t kActionCount = 11;

// Every case, in case order.
std::span<const Action, kActionCount> allActions();

// The platform's string for the case, e.g. "AXPress".
std::string_view rawValue(Action action);

// The case whose raw value is `name`, compared in full and case-sensitively under
// canonical equivalence. Absent for names outside the vocabulary, which the
// platform does report.
std::optional<Action> actionFromRawValue(std::string_view name);

}  // namespace zorv::ax
