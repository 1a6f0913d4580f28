#include "ax/action.h"

#include <array>
#include <string_view>

#include "ax/all_cases.h"
#include "ax/raw_value_index.h"

namespace zorv::ax {
namespace {

static_assert(static_cast<std::size_t>(Action::showDefaultUI) + 1 == kActionCount);

// Indexed by case.
constexpr auto kRawValues = std::to_array<std::string_view>({
    "AXPress",
    "AXIncrement",
    "AXDecrement",
    "AXConfirm",
    "AXPick",
    "AXCancel",
    "AXRaise",
    "AXShowMenu",
    "AXDelete",
    "AXShowAlternateUI",
    "AXShowDefaultUI",
});
static_assert(kRawValues.size() == kActionCount);

constexpr auto kAllCases = internal::allCases<Action, kActionCount>();

}  // namespace

std::span<const Action, kActionCount> allActions() {
  return kAllCases;
}

// at(): a value cast from outside the cases throws instead of reading past the table.
std::string_view rawValue(Action action) {
  return kRawValues.at(static_cast<std::size_t>(action));
}

std::optional<Action> actionFromRawValue(std::string_view name) {
  // Function-local, so built once on first use, safely from any thread.
  static const internal::RawValueIndex<Action> index(kRawValues);
  return index.find(name);
}

}  // namespace zorv::ax
