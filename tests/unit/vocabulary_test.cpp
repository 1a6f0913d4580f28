// The accessibility vocabularies: raw values, the platform's own spellings, and
// look-up by raw value.

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "ax/action.h"
#include "ax/attribute.h"
#include "ax/ax_notification.h"
#include "ax/orientation.h"
#include "ax/role.h"
#include "ax/subrole.h"

namespace zorv::ax {
namespace {

using namespace std::string_view_literals;

// Every raw value has the platform's form, is the only one of its vocabulary,
// and leads back to its case, also from a copy (the look-up compares text).
template <class Case, std::size_t count, class FromRawValue>
void expectWellFormedAndRoundTrip(std::span<const Case, count> all, FromRawValue fromRawValue) {
  const std::regex form("AX[A-Z][A-Za-z]*");
  std::set<std::string_view> seen;
  for (const Case value : all) {
    const std::string_view raw = rawValue(value);
    EXPECT_TRUE(std::regex_match(std::string(raw), form)) << raw;
    EXPECT_TRUE(seen.insert(raw).second) << raw << " twice";
    EXPECT_EQ(fromRawValue(std::string(raw)), value) << raw;
  }
}

TEST(Vocabulary, EveryRawValueIsWellFormedUniqueAndLeadsBackToItsCase) {
  expectWellFormedAndRoundTrip(allAttributes(), attributeFromRawValue);
  expectWellFormedAndRoundTrip(allRoles(), roleFromRawValue);
  expectWellFormedAndRoundTrip(allNotifications(), notificationFromRawValue);
  expectWellFormedAndRoundTrip(allSubroles(), subroleFromRawValue);
  expectWellFormedAndRoundTrip(allActions(), actionFromRawValue);
}

// The last case of each table: a row missing or added anywhere before it
// shifts it.
TEST(Vocabulary, TheLastCasesKeepTheirRawValues) {
  EXPECT_EQ(rawValue(Attribute::childrenInNavigationOrder), "AXChildrenInNavigationOrder");
  EXPECT_EQ(rawValue(Role::handle), "AXHandle");
  EXPECT_EQ(rawValue(AXNotification::announcementRequested), "AXAnnouncementRequested");
  EXPECT_EQ(rawValue(Subrole::descriptionList), "AXDescriptionList");
  EXPECT_EQ(rawValue(Action::showDefaultUI), "AXShowDefaultUI");
  EXPECT_EQ(rawValue(Action::delete_), "AXDelete");
}

TEST(Vocabulary, PlatformSpellingsAndNotTheRegularOnes) {
  EXPECT_EQ(attributeFromRawValue("AXURL"), Attribute::url);
  EXPECT_EQ(attributeFromRawValue("AXUrl"), std::nullopt);
  EXPECT_EQ(attributeFromRawValue("AXRTFForRangeParameterized"),
            Attribute::rtfForRangeParameterized);
  EXPECT_EQ(attributeFromRawValue("AXRtfForRangeParameterized"), std::nullopt);
  EXPECT_EQ(notificationFromRawValue("AXUIElementDestroyed"), AXNotification::uiElementDestroyed);
  EXPECT_EQ(notificationFromRawValue("AXUiElementDestroyed"), std::nullopt);
  EXPECT_EQ(subroleFromRawValue("AXSwitch"), Subrole::switchSubrole);
  EXPECT_EQ(subroleFromRawValue("AXSwitchSubrole"), std::nullopt);
}

TEST(Vocabulary, LookUpMatchesTheWholeStringCaseSensitivelyInItsOwnVocabulary) {
  for (const std::string_view near : {"axwindow"sv, "AXWINDOW"sv, "AXWindo"sv, "AXWindows"sv,
                                      " AXWindow"sv, "AXWindow\0"sv, ""sv, "AXWindow\xff"sv}) {
    EXPECT_EQ(roleFromRawValue(near), std::nullopt) << '"' << near << '"';
  }
  // A name of two vocabularies gives each its own case.
  EXPECT_EQ(attributeFromRawValue("AXCloseButton"), Attribute::closeButton);
  EXPECT_EQ(subroleFromRawValue("AXCloseButton"), Subrole::closeButton);
  EXPECT_EQ(roleFromRawValue("AXPress"), std::nullopt);
  EXPECT_EQ(subroleFromRawValue("AXWindow"), std::nullopt);
}

TEST(Vocabulary, OrientationsAreIntegers) {
  for (const Orientation value : allOrientations()) {
    EXPECT_EQ(orientationFromRawValue(rawValue(value)), value);
  }
  EXPECT_EQ(rawValue(Orientation::horizontal), 2);
  for (const int value : {3, -1}) EXPECT_EQ(orientationFromRawValue(value), std::nullopt) << value;
}

}  // namespace
}  // namespace zorv::ax
