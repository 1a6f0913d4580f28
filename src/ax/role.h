#pragma once
// Accessibility roles: what kind of control or container an element is.

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace zorv::ax {

// The order is fixed: a case's index is its position here, starting at 0.
enum class Role {
  unknown,
  button,
  radioButton,
  checkBox,
  slider,
  tabGroup,
  textField,
  staticText,
  textArea,
  scrollArea,
  popUpButton,
  menuButton,
  table,
  application,
  group,
  radioGroup,
  list,
  scrollBar,
  valueIndicator,
  image,
  menuBar,
  menu,
  menuItem,
  column,
  row,
  toolbar,
  busyIndicator,
  progressIndicator,
  window,
  drawer,
  systemWide,
  outline,
  incrementor,
  browser,
  comboBox,
  splitGroup,
  splitter,
  colorWell,
  growArea,
  sheet,
  helpTag,
  matte,
  ruler,
  rulerMarker,
  link,
  disclosureTriangle,
  grid,
  relevanceIndicator,
  levelIndicator,
  cell,
  popover,
  layoutArea,
  layoutItem,
  handle,
};

inline constexpr std::size_t kRoleCount = 54;

// Every case, in case order.
std::span<const Role, kRoleCount> allRoles();

// The platform's string for the case, e.g. "AXWindow".
std::string_view rawValue(Role role);

// The case whose raw value is `name`, compared in full and case-sensitively under
// canonical equivalence. Absent for names outside the vocabulary, which the
// platform does report.
std::optional<Role> roleFromRawValue(std::string_view name);

}  // namespace zorv::ax
