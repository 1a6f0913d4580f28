#include "ax/role.h"

#include <array>
#include <string_view>

#include "ax/all_cases.h"
#include "ax/raw_value_index.h"

namespace zorv::ax {
namespace {

static_assert(static_cast<std::size_t>(Role::handle) + 1 == kRoleCount);

// Indexed by case.
constexpr auto kRawValues = std::to_array<std::string_view>({
    "AXUnknown",
    "AXButton",
    "AXRadioButton",
    "AXCheckBox",
    "AXSlider",
    "AXTabGroup",
    "AXTextField",
    "AXStaticText",
    "AXTextArea",
    "AXScrollArea",
    "AXPopUpButton",
    "AXMenuButton",
    "AXTable",
    "AXApplication",
    "AXGroup",
    "AXRadioGroup",
    "AXList",
    "AXScrollBar",
    "AXValueIndicator",
    "AXImage",
    "AXMenuBar",
    "AXMenu",
    "AXMenuItem",
    "AXColumn",
    "AXRow",
    "AXToolbar",
    "AXBusyIndicator",
    "AXProgressIndicator",
    "AXWindow",
    "AXDrawer",
    "AXSystemWide",
    "AXOutline",
    "AXIncrementor",
    "AXBrowser",
    "AXComboBox",
    "AXSplitGroup",
    "AXSplitter",
    "AXColorWell",
    "AXGrowArea",
    "AXSheet",
    "AXHelpTag",
    "AXMatte",
    "AXRuler",
    "AXRulerMarker",
    "AXLink",
    "AXDisclosureTriangle",
    "AXGrid",
    "AXRelevanceIndicator",
    "AXLevelIndicator",
    "AXCell",
    "AXPopover",
    "AXLayoutArea",
    "AXLayoutItem",
    "AXHandle",
});
static_assert(kRawValues.size() == kRoleCount);

constexpr auto kAllCases = internal::allCases<Role, kRoleCount>();

}  // namespace

std::span<const Role, kRoleCount> allRoles() {
  return kAllCases;
}

// at(): a value cast from outside the cases throws instead of reading past the table.
std::string_view rawValue(Role role) {
  return kRawValues.at(static_cast<std::size_t>(role));
}

std::optional<Role> roleFromRawValue(std::string_view name) {
  // Function-local, so built once on first use, safely from any thread.
  static const internal::RawValueIndex<Role> index(kRawValues);
  return index.find(name);
}

}  // namespace zorv::ax
