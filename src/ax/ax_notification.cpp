#include "ax/ax_notification.h"

#include <array>
#include <string_view>

#include "ax/all_cases.h"
#include "ax/raw_value_index.h"

namespace zorv::ax {
namespace {

static_assert(static_cast<std::size_t>(AXNotification::announcementRequested) + 1 ==
              kNotificationCount);

// Indexed by case.
constexpr auto kRawValues = std::to_array<std::string_view>({
    "AXMainWindowChanged",
    "AXFocusedWindowChanged",
    "AXFocusedUIElementChanged",
    "AXApplicationActivated",
    "AXApplicationDeactivated",
    "AXApplicationHidden",
    "AXApplicationShown",
    "AXWindowCreated",
    "AXWindowMoved",
    "AXWindowResized",
    "AXWindowMiniaturized",
    "AXWindowDeminiaturized",
    "AXDrawerCreated",
    "AXSheetCreated",
    "AXUIElementDestroyed",
    "AXValueChanged",
    "AXTitleChanged",
    "AXResized",
    "AXMoved",
    "AXCreated",
    "AXLayoutChanged",
    "AXHelpTagCreated",
    "AXSelectedTextChanged",
    "AXRowCountChanged",
    "AXSelectedChildrenChanged",
    "AXSelectedRowsChanged",
    "AXSelectedColumnsChanged",
    "AXRowExpanded",
    "AXRowCollapsed",
    "AXSelectedCellsChanged",
    "AXUnitsChanged",
    "AXSelectedChildrenMoved",
    "AXAnnouncementRequested",
});
static_assert(kRawValues.size() == kNotificationCount);

constexpr auto kAllCases = internal::allCases<AXNotification, kNotificationCount>();

}  // namespace

std::span<const AXNotification, kNotificationCount> allNotifications() {
  return kAllCases;
}

// at(): a value cast from outside the cases throws instead of reading past the table.
std::string_view rawValue(AXNotification notification) {
  return kRawValues.at(static_cast<std::size_t>(notification));
}

std::optional<AXNotification> notificationFromRawValue(std::string_view name) {
  // Function-local, so built once on first use, safely from any thread.
  static const internal::RawValueIndex<AXNotification> index(kRawValues);
  return index.find(name);
}

}  // namespace zorv::ax
