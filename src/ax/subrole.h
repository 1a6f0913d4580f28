#pragma once
// Accessibility subroles: the finer kind of an element within its role.

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace zorv::ax {

// The order is fixed: a case's index is its position here, starting at 0.
enum class Subrole {
  unknown,
  closeButton,
  zoomButton,
  minimizeButton,
  toolbarButton,
  tableRow,
  outlineRow,
  secureTextField,
  standardWindow,
  dialog,
  systemDialog,
  floatingWindow,
  systemFloatingWindow,
  incrementArrow,
  decrementArrow,
  incrementPage,
  decrementPage,
  searchField,
  textAttachment,
  textLink,
  timeline,
  sortButton,
  ratingIndicator,
  contentList,
  definitionList,
  fullScreenButton,
  toggle,
  switchSubrole,
  descriptionList,
};

inline constexpr std::size_t kSubroleCount = 29;

// Every case, in case order.
std::span<const Subrole, kSubroleCount> allSubroles();

// The platform's string for the case, e.g. "AXCloseButton".
std::string_view rawValue(Subrole subrole);

// The case whose raw value is `name`, compared in full and case-sensitively under
// canonical equivalence. Absent for names outside the vocabulary, which the
// platform does report.
std::optional<Subrole> subroleFromRawValue(std::string_view name);

}  // namespace zorv::ax
