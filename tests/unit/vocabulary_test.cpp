// The six accessibility vocabularies: case order, raw values and look-up by raw value.

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>

#include "ax/action.h"
#include "ax/attribute.h"
#include "ax/ax_notification.h"
#include "ax/orientation.h"
#include "ax/role.h"
#include "ax/subrole.h"

namespace zorv::ax {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

// A case next to its name as the vocabulary lists it.
template <class Case>
struct Named {
  Case value;
  std::string_view name;
};

// Stringising the enumerator keeps the name and the case from drifting apart.
#define NAMED(vocabulary, name) \
  { vocabulary::name, #name }

// Each vocabulary, case by case in its listed order.
const Named<Attribute> kAttributes[] = {
    NAMED(Attribute, role),
    NAMED(Attribute, roleDescription),
    NAMED(Attribute, subrole),
    NAMED(Attribute, help),
    NAMED(Attribute, value),
    NAMED(Attribute, minValue),
    NAMED(Attribute, maxValue),
    NAMED(Attribute, enabled),
    NAMED(Attribute, focused),
    NAMED(Attribute, parent),
    NAMED(Attribute, children),
    NAMED(Attribute, window),
    NAMED(Attribute, topLevelUIElement),
    NAMED(Attribute, selectedChildren),
    NAMED(Attribute, visibleChildren),
    NAMED(Attribute, position),
    NAMED(Attribute, size),
    NAMED(Attribute, frame),
    NAMED(Attribute, contents),
    NAMED(Attribute, title),
    NAMED(Attribute, description),
    NAMED(Attribute, shownMenu),
    NAMED(Attribute, valueDescription),
    NAMED(Attribute, sharedFocusElements),
    NAMED(Attribute, previousContents),
    NAMED(Attribute, nextContents),
    NAMED(Attribute, header),
    NAMED(Attribute, edited),
    NAMED(Attribute, tabs),
    NAMED(Attribute, horizontalScrollBar),
    NAMED(Attribute, verticalScrollBar),
    NAMED(Attribute, overflowButton),
    NAMED(Attribute, incrementButton),
    NAMED(Attribute, decrementButton),
    NAMED(Attribute, filename),
    NAMED(Attribute, expanded),
    NAMED(Attribute, selected),
    NAMED(Attribute, splitters),
    NAMED(Attribute, document),
    NAMED(Attribute, activationPoint),
    NAMED(Attribute, url),
    NAMED(Attribute, index),
    NAMED(Attribute, rowCount),
    NAMED(Attribute, columnCount),
    NAMED(Attribute, orderedByRow),
    NAMED(Attribute, warningValue),
    NAMED(Attribute, criticalValue),
    NAMED(Attribute, placeholderValue),
    NAMED(Attribute, containsProtectedContent),
    NAMED(Attribute, alternateUIVisible),
    NAMED(Attribute, titleUIElement),
    NAMED(Attribute, servesAsTitleForUIElements),
    NAMED(Attribute, linkedUIElements),
    NAMED(Attribute, selectedText),
    NAMED(Attribute, selectedTextRange),
    NAMED(Attribute, numberOfCharacters),
    NAMED(Attribute, visibleCharacterRange),
    NAMED(Attribute, sharedTextUIElements),
    NAMED(Attribute, sharedCharacterRange),
    NAMED(Attribute, insertionPointLineNumber),
    NAMED(Attribute, selectedTextRanges),
    NAMED(Attribute, textInputMarkedRange),
    NAMED(Attribute, lineForIndexParameterized),
    NAMED(Attribute, rangeForLineParameterized),
    NAMED(Attribute, stringForRangeParameterized),
    NAMED(Attribute, rangeForPositionParameterized),
    NAMED(Attribute, rangeForIndexParameterized),
    NAMED(Attribute, boundsForRangeParameterized),
    NAMED(Attribute, rtfForRangeParameterized),
    NAMED(Attribute, styleRangeForIndexParameterized),
    NAMED(Attribute, attributedStringForRangeParameterized),
    NAMED(Attribute, fontText),
    NAMED(Attribute, foregroundColorText),
    NAMED(Attribute, backgroundColorText),
    NAMED(Attribute, underlineColorText),
    NAMED(Attribute, strikethroughColorText),
    NAMED(Attribute, underlineText),
    NAMED(Attribute, superscriptText),
    NAMED(Attribute, strikethroughText),
    NAMED(Attribute, shadowText),
    NAMED(Attribute, attachmentText),
    NAMED(Attribute, linkText),
    NAMED(Attribute, autocorrectedText),
    NAMED(Attribute, listItemPrefixText),
    NAMED(Attribute, listItemIndexText),
    NAMED(Attribute, listItemLevelText),
    NAMED(Attribute, misspelledText),
    NAMED(Attribute, markedMisspelledText),
    NAMED(Attribute, main),
    NAMED(Attribute, minimized),
    NAMED(Attribute, closeButton),
    NAMED(Attribute, zoomButton),
    NAMED(Attribute, minimizeButton),
    NAMED(Attribute, toolbarButton),
    NAMED(Attribute, proxy),
    NAMED(Attribute, growArea),
    NAMED(Attribute, modal),
    NAMED(Attribute, defaultButton),
    NAMED(Attribute, cancelButton),
    NAMED(Attribute, fullScreenButton),
    NAMED(Attribute, fullScreen),
    NAMED(Attribute, menuBar),
    NAMED(Attribute, windows),
    NAMED(Attribute, frontmost),
    NAMED(Attribute, hidden),
    NAMED(Attribute, mainWindow),
    NAMED(Attribute, focusedWindow),
    NAMED(Attribute, focusedUIElement),
    NAMED(Attribute, extrasMenuBar),
    NAMED(Attribute, enhancedUserInterface),
    NAMED(Attribute, orientation),
    NAMED(Attribute, columnTitles),
    NAMED(Attribute, searchButton),
    NAMED(Attribute, searchMenu),
    NAMED(Attribute, clearButton),
    NAMED(Attribute, rows),
    NAMED(Attribute, visibleRows),
    NAMED(Attribute, selectedRows),
    NAMED(Attribute, columns),
    NAMED(Attribute, visibleColumns),
    NAMED(Attribute, selectedColumns),
    NAMED(Attribute, sortDirection),
    NAMED(Attribute, selectedCells),
    NAMED(Attribute, visibleCells),
    NAMED(Attribute, rowHeaderUIElements),
    NAMED(Attribute, columnHeaderUIElements),
    NAMED(Attribute, cellForColumnAndRowParameterized),
    NAMED(Attribute, rowIndexRange),
    NAMED(Attribute, columnIndexRange),
    NAMED(Attribute, horizontalUnits),
    NAMED(Attribute, verticalUnits),
    NAMED(Attribute, horizontalUnitDescription),
    NAMED(Attribute, verticalUnitDescription),
    NAMED(Attribute, layoutPointForScreenPointParameterized),
    NAMED(Attribute, layoutSizeForScreenSizeParameterized),
    NAMED(Attribute, screenPointForLayoutPointParameterized),
    NAMED(Attribute, screenSizeForLayoutSizeParameterized),
    NAMED(Attribute, handles),
    NAMED(Attribute, disclosing),
    NAMED(Attribute, disclosedRows),
    NAMED(Attribute, disclosedByRow),
    NAMED(Attribute, disclosureLevel),
    NAMED(Attribute, allowedValues),
    NAMED(Attribute, labelUIElements),
    NAMED(Attribute, labelValue),
    NAMED(Attribute, matteHole),
    NAMED(Attribute, matteContentUIElement),
    NAMED(Attribute, markerUIElements),
    NAMED(Attribute, markerValues),
    NAMED(Attribute, markerGroupUIElement),
    NAMED(Attribute, units),
    NAMED(Attribute, unitDescription),
    NAMED(Attribute, markerType),
    NAMED(Attribute, markerTypeDescription),
    NAMED(Attribute, identifier),
    NAMED(Attribute, focusedApplication),
    NAMED(Attribute, functionRowTopLevelElements),
    NAMED(Attribute, childrenInNavigationOrder),
};

const Named<Role> kRoles[] = {
    NAMED(Role, unknown),
    NAMED(Role, button),
    NAMED(Role, radioButton),
    NAMED(Role, checkBox),
    NAMED(Role, slider),
    NAMED(Role, tabGroup),
    NAMED(Role, textField),
    NAMED(Role, staticText),
    NAMED(Role, textArea),
    NAMED(Role, scrollArea),
    NAMED(Role, popUpButton),
    NAMED(Role, menuButton),
    NAMED(Role, table),
    NAMED(Role, application),
    NAMED(Role, group),
    NAMED(Role, radioGroup),
    NAMED(Role, list),
    NAMED(Role, scrollBar),
    NAMED(Role, valueIndicator),
    NAMED(Role, image),
    NAMED(Role, menuBar),
    NAMED(Role, menu),
    NAMED(Role, menuItem),
    NAMED(Role, column),
    NAMED(Role, row),
    NAMED(Role, toolbar),
    NAMED(Role, busyIndicator),
    NAMED(Role, progressIndicator),
    NAMED(Role, window),
    NAMED(Role, drawer),
    NAMED(Role, systemWide),
    NAMED(Role, outline),
    NAMED(Role, incrementor),
    NAMED(Role, browser),
    NAMED(Role, comboBox),
    NAMED(Role, splitGroup),
    NAMED(Role, splitter),
    NAMED(Role, colorWell),
    NAMED(Role, growArea),
    NAMED(Role, sheet),
    NAMED(Role, helpTag),
    NAMED(Role, matte),
    NAMED(Role, ruler),
    NAMED(Role, rulerMarker),
    NAMED(Role, link),
    NAMED(Role, disclosureTriangle),
    NAMED(Role, grid),
    NAMED(Role, relevanceIndicator),
    NAMED(Role, levelIndicator),
    NAMED(Role, cell),
    NAMED(Role, popover),
    NAMED(Role, layoutArea),
    NAMED(Role, layoutItem),
    NAMED(Role, handle),
};

const Named<AXNotification> kNotifications[] = {
    NAMED(AXNotification, mainWindowChanged),
    NAMED(AXNotification, focusedWindowChanged),
    NAMED(AXNotification, focusedUIElementChanged),
    NAMED(AXNotification, applicationActivated),
    NAMED(AXNotification, applicationDeactivated),
    NAMED(AXNotification, applicationHidden),
    NAMED(AXNotification, applicationShown),
    NAMED(AXNotification, windowCreated),
    NAMED(AXNotification, windowMoved),
    NAMED(AXNotification, windowResized),
    NAMED(AXNotification, windowMiniaturized),
    NAMED(AXNotification, windowDeminiaturized),
    NAMED(AXNotification, drawerCreated),
    NAMED(AXNotification, sheetCreated),
    NAMED(AXNotification, uiElementDestroyed),
    NAMED(AXNotification, valueChanged),
    NAMED(AXNotification, titleChanged),
    NAMED(AXNotification, resized),
    NAMED(AXNotification, moved),
    NAMED(AXNotification, created),
    NAMED(AXNotification, layoutChanged),
    NAMED(AXNotification, helpTagCreated),
    NAMED(AXNotification, selectedTextChanged),
    NAMED(AXNotification, rowCountChanged),
    NAMED(AXNotification, selectedChildrenChanged),
    NAMED(AXNotification, selectedRowsChanged),
    NAMED(AXNotification, selectedColumnsChanged),
    NAMED(AXNotification, rowExpanded),
    NAMED(AXNotification, rowCollapsed),
    NAMED(AXNotification, selectedCellsChanged),
    NAMED(AXNotification, unitsChanged),
    NAMED(AXNotification, selectedChildrenMoved),
    NAMED(AXNotification, announcementRequested),
};

const Named<Subrole> kSubroles[] = {
    NAMED(Subrole, unknown),
    NAMED(Subrole, closeButton),
    NAMED(Subrole, zoomButton),
    NAMED(Subrole, minimizeButton),
    NAMED(Subrole, toolbarButton),
    NAMED(Subrole, tableRow),
    NAMED(Subrole, outlineRow),
    NAMED(Subrole, secureTextField),
    NAMED(Subrole, standardWindow),
    NAMED(Subrole, dialog),
    NAMED(Subrole, systemDialog),
    NAMED(Subrole, floatingWindow),
    NAMED(Subrole, systemFloatingWindow),
    NAMED(Subrole, incrementArrow),
    NAMED(Subrole, decrementArrow),
    NAMED(Subrole, incrementPage),
    NAMED(Subrole, decrementPage),
    NAMED(Subrole, searchField),
    NAMED(Subrole, textAttachment),
    NAMED(Subrole, textLink),
    NAMED(Subrole, timeline),
    NAMED(Subrole, sortButton),
    NAMED(Subrole, ratingIndicator),
    NAMED(Subrole, contentList),
    NAMED(Subrole, definitionList),
    NAMED(Subrole, fullScreenButton),
    NAMED(Subrole, toggle),
    NAMED(Subrole, switchSubrole),
    NAMED(Subrole, descriptionList),
};

const Named<Action> kActions[] = {
    NAMED(Action, press),           NAMED(Action, increment),     NAMED(Action, decrement),
    NAMED(Action, confirm),         NAMED(Action, pick),          NAMED(Action, cancel),
    NAMED(Action, raise),           NAMED(Action, showMenu),      {Action::delete_, "delete"},
    NAMED(Action, showAlternateUI), NAMED(Action, showDefaultUI),
};

#undef NAMED

using Exceptions = std::map<std::string_view, std::string_view>;

// Names whose raw value the platform spells its own way rather than by the rule.
const Exceptions kAttributeExceptions = {
    {"url", "AXURL"},
    {"rtfForRangeParameterized", "AXRTFForRangeParameterized"},
};
const Exceptions kNotificationExceptions = {{"uiElementDestroyed", "AXUIElementDestroyed"}};
const Exceptions kSubroleExceptions = {{"switchSubrole", "AXSwitch"}};
const Exceptions kNoExceptions = {};

// "AX" followed by the name with its first letter in upper case.
std::string byNamingRule(std::string_view name) {
  std::string raw = "AX"s + std::string(name);
  raw[2] = static_cast<char>(std::toupper(static_cast<unsigned char>(raw[2])));
  return raw;
}

// Checks the cases against the listing: count, position, the all-cases list and
// the raw value of each.
template <class Case, std::size_t count, std::size_t listed>
void expectMatchesListing(const Named<Case> (&listing)[listed], std::span<const Case, count> all,
                          const Exceptions& exceptions) {
  ASSERT_EQ(listed, count);
  for (std::size_t i = 0; i < listed; ++i) {
    const auto& [value, name] = listing[i];
    SCOPED_TRACE(std::string(name));
    EXPECT_EQ(static_cast<std::size_t>(value), i);
    EXPECT_EQ(all[i], value);
    const auto exception = exceptions.find(name);
    const std::string expected =
        exception != exceptions.end() ? std::string(exception->second) : byNamingRule(name);
    EXPECT_EQ(rawValue(value), expected);
  }
}

// Every raw value leads back to its case, and no two cases share one (or a hash
// bucket key: the cases also go into a hash set).
template <class Case, std::size_t count, class FromRawValue>
void expectRoundTrips(std::span<const Case, count> all, FromRawValue fromRawValue) {
  std::set<std::string_view> rawValues;
  std::unordered_set<Case> cases;
  for (const Case value : all) {
    const std::string_view raw = rawValue(value);
    // A copy, so the look-up must compare text rather than addresses.
    EXPECT_EQ(fromRawValue(std::string(raw)), value) << raw;
    rawValues.insert(raw);
    cases.insert(value);
  }
  EXPECT_EQ(rawValues.size(), count);
  EXPECT_EQ(cases.size(), count);
}

TEST(VocabularyListing, CaseCounts) {
  EXPECT_EQ(kAttributeCount, 158u);
  EXPECT_EQ(kRoleCount, 54u);
  EXPECT_EQ(kNotificationCount, 33u);
  EXPECT_EQ(kSubroleCount, 29u);
  EXPECT_EQ(kActionCount, 11u);
  EXPECT_EQ(kOrientationCount, 3u);
  EXPECT_EQ(allAttributes().size(), kAttributeCount);
  EXPECT_EQ(allOrientations().size(), kOrientationCount);
}

TEST(VocabularyListing, AttributesInOrderWithRawValues) {
  expectMatchesListing(kAttributes, allAttributes(), kAttributeExceptions);
}

TEST(VocabularyListing, RolesInOrderWithRawValues) {
  expectMatchesListing(kRoles, allRoles(), kNoExceptions);
}

TEST(VocabularyListing, NotificationsInOrderWithRawValues) {
  expectMatchesListing(kNotifications, allNotifications(), kNotificationExceptions);
}

TEST(VocabularyListing, SubrolesInOrderWithRawValues) {
  expectMatchesListing(kSubroles, allSubroles(), kSubroleExceptions);
}

TEST(VocabularyListing, ActionsInOrderWithRawValues) {
  expectMatchesListing(kActions, allActions(), kNoExceptions);
}

TEST(VocabularyListing, SpotChecksOfPosition) {
  const auto index = [](auto value) { return static_cast<std::size_t>(value); };
  EXPECT_EQ(index(Attribute::role), 0u);
  EXPECT_EQ(index(Attribute::url), 40u);
  EXPECT_EQ(index(Attribute::focusedApplication), 155u);
  EXPECT_EQ(allAttributes().back(), Attribute::childrenInNavigationOrder);
  EXPECT_EQ(index(Role::unknown), 0u);
  EXPECT_EQ(index(Role::window), 28u);
  EXPECT_EQ(allRoles().back(), Role::handle);
  EXPECT_EQ(index(Role::handle), 53u);
  EXPECT_EQ(index(AXNotification::uiElementDestroyed), 14u);
  EXPECT_EQ(allNotifications().back(), AXNotification::announcementRequested);
  EXPECT_EQ(index(Subrole::switchSubrole), 27u);
  EXPECT_EQ(allSubroles().back(), Subrole::descriptionList);
  EXPECT_EQ(index(Action::delete_), 8u);
  EXPECT_EQ(rawValue(Action::delete_), "AXDelete");
  EXPECT_EQ(allActions().back(), Action::showDefaultUI);
}

TEST(VocabularyRoundTrip, EveryRawValueLeadsBackToItsCase) {
  {
    SCOPED_TRACE("Attribute");
    expectRoundTrips(allAttributes(), attributeFromRawValue);
  }
  {
    SCOPED_TRACE("Role");
    expectRoundTrips(allRoles(), roleFromRawValue);
  }
  {
    SCOPED_TRACE("AXNotification");
    expectRoundTrips(allNotifications(), notificationFromRawValue);
  }
  {
    SCOPED_TRACE("Subrole");
    expectRoundTrips(allSubroles(), subroleFromRawValue);
  }
  {
    SCOPED_TRACE("Action");
    expectRoundTrips(allActions(), actionFromRawValue);
  }
}

TEST(RawValueExceptions, PlatformSpellingsAndNotTheRegularOnes) {
  EXPECT_EQ(rawValue(Attribute::url), "AXURL");
  EXPECT_EQ(attributeFromRawValue("AXURL"), Attribute::url);
  EXPECT_EQ(attributeFromRawValue("AXUrl"), std::nullopt);

  EXPECT_EQ(rawValue(Attribute::rtfForRangeParameterized), "AXRTFForRangeParameterized");
  EXPECT_EQ(attributeFromRawValue("AXRTFForRangeParameterized"),
            Attribute::rtfForRangeParameterized);
  EXPECT_EQ(attributeFromRawValue("AXRtfForRangeParameterized"), std::nullopt);

  EXPECT_EQ(rawValue(AXNotification::uiElementDestroyed), "AXUIElementDestroyed");
  EXPECT_EQ(notificationFromRawValue("AXUIElementDestroyed"), AXNotification::uiElementDestroyed);
  EXPECT_EQ(notificationFromRawValue("AXUiElementDestroyed"), std::nullopt);

  EXPECT_EQ(rawValue(Subrole::switchSubrole), "AXSwitch");
  EXPECT_EQ(subroleFromRawValue("AXSwitch"), Subrole::switchSubrole);
  EXPECT_EQ(subroleFromRawValue("AXSwitchSubrole"), std::nullopt);
}

TEST(RawValueLookup, MatchesTheWholeStringCaseSensitively) {
  EXPECT_EQ(roleFromRawValue("AXWindow"), Role::window);
  for (const std::string_view near :
       {"axwindow"sv, "Window"sv, "AXWINDOW"sv, "AXwindow"sv, "AXWindo"sv, "AXWindows"sv,
        " AXWindow"sv, "AXWindow "sv, "AXWindow\0"sv, ""sv, "AX"sv, "AXWindow\xff"sv}) {
    EXPECT_EQ(roleFromRawValue(near), std::nullopt) << '"' << near << '"';
  }
}

TEST(RawValueLookup, EachVocabularyAnswersOnlyForItsOwnNames) {
  // Some names belong to two vocabularies; each must answer with its own case.
  EXPECT_EQ(attributeFromRawValue("AXCloseButton"), Attribute::closeButton);
  EXPECT_EQ(subroleFromRawValue("AXCloseButton"), Subrole::closeButton);
  EXPECT_EQ(roleFromRawValue("AXUnknown"), Role::unknown);
  EXPECT_EQ(subroleFromRawValue("AXUnknown"), Subrole::unknown);
  EXPECT_EQ(attributeFromRawValue("AXGrowArea"), Attribute::growArea);
  EXPECT_EQ(roleFromRawValue("AXGrowArea"), Role::growArea);

  EXPECT_EQ(roleFromRawValue("AXPress"), std::nullopt);
  EXPECT_EQ(actionFromRawValue("AXWindow"), std::nullopt);
  EXPECT_EQ(attributeFromRawValue("AXWindowMoved"), std::nullopt);
  EXPECT_EQ(notificationFromRawValue("AXTitle"), std::nullopt);
  EXPECT_EQ(subroleFromRawValue("AXWindow"), std::nullopt);
}

TEST(OrientationVocabulary, IntegerRawValues) {
  EXPECT_EQ(rawValue(Orientation::unknown), 0);
  EXPECT_EQ(rawValue(Orientation::vertical), 1);
  EXPECT_EQ(rawValue(Orientation::horizontal), 2);
  EXPECT_EQ(allOrientations()[0], Orientation::unknown);
  EXPECT_EQ(allOrientations()[1], Orientation::vertical);
  EXPECT_EQ(allOrientations()[2], Orientation::horizontal);
  for (const Orientation value : allOrientations()) {
    EXPECT_EQ(orientationFromRawValue(rawValue(value)), value);
  }
  static_assert(orientationFromRawValue(1) == Orientation::vertical);
}

TEST(OrientationVocabulary, OutOfRangeIntegersAreAbsent) {
  for (const int value : {3, -1, 4, INT_MAX, INT_MIN}) {
    EXPECT_EQ(orientationFromRawValue(value), std::nullopt) << value;
  }
}

}  // namespace
}  // namespace zorv::ax
