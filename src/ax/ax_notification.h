#pragma once
// Accessibility notifications: the changes an observer can be told about.

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace zorv::ax {

// The order is fixed: a case's index is its position here, starting at 0.
enum class AXNotification {
  mainWindowChanged,
  focusedWindowChanged,
  focusedUIElementChanged,
  applicationActivated,
  applicationDeactivated,
  applicationHidden,
  applicationShown,
  windowCreated,
  windowMoved,
  windowResized,
  windowMiniaturized,
  windowDeminiaturized,
  drawerCreated,
  sheetCreated,
  uiElementDestroyed,
  valueChanged,
  titleChanged,
  resized,
  moved,
  created,
  layoutChanged,
  helpTagCreated,
  selectedTextChanged,
  rowCountChanged,
  selectedChildrenChanged,
  selectedRowsChanged,
  selectedColumnsChanged,
  rowExpanded,
  rowCollapsed,
  selectedCellsChanged,
  unitsChanged,
  selectedChildrenMoved,
  announcementRequested,
};

inline constexpr std::size_t kNotificationCount = 33;

// Every case, in case order.
std::span<const AXNotification, kNotificationCount> allNotifications();

// The platform's string for the case, e.g. "AXWindowMoved".
std::string_view rawValue(AXNotification notification);

// The case whose raw value is `name`, compared in full and case-sensitively under
// canonical equivalence. Absent for names outside the vocabulary, which the
// platform does report.
std::optional<AXNotification> notificationFromRawValue(std::string_view name);

}  // namespace zorv::ax
