#include "ax/subrole.h"

#include <array>
#include <string_view>

#include "ax/all_cases.h"
#include "ax/raw_value_index.h"

namespace zorv::ax {
namespace {

static_assert(static_cast<std::size_t>(Subrole::descriptionList) + 1 == kSubroleCount);

// Indexed by case.
constexpr auto kRawValues = std::to_array<std::string_view>({
    "AXUnknown",
    "AXCloseButton",
    "AXZoomButton",
    "AXMinimizeButton",
    "AXToolbarButton",
    "AXTableRow",
    "AXOutlineRow",
    "AXSecureTextField",
    "AXStandardWindow",
    "AXDialog",
    "AXSystemDialog",
    "AXFloatingWindow",
    "AXSystemFloatingWindow",
    "AXIncrementArrow",
    "AXDecrementArrow",
    "AXIncrementPage",
    "AXDecrementPage",
    "AXSearchField",
    "AXTextAttachment",
    "AXTextLink",
    "AXTimeline",
    "AXSortButton",
    "AXRatingIndicator",
    "AXContentList",
    "AXDefinitionList",
    "AXFullScreenButton",
    "AXToggle",
    "AXSwitch",
    "AXDescriptionList",
});
static_assert(kRawValues.size() == kSubroleCount);

constexpr auto kAllCases = internal::allCases<Subrole, kSubroleCount>();

}  // namespace

std::span<const Subrole, kSubroleCount> allSubroles() {
  return kAllCases;
}

// at(): a value cast from outside the cases throws instead of reading past the table.
std::string_view rawValue(Subrole subrole) {
  return kRawValues.at(static_cast<std::size_t>(subrole));
}

std::optional<Subrole> subroleFromRawValue(std::string_view name) {
  // Function-local, so built once on first use, safely from any thread.
  static const internal::RawValueIndex<Subrole> index(kRawValues);
  return index.find(name);
}

}  // namespace zorv::ax
