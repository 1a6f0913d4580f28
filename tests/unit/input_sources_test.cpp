// Input sources: which sources are listed, their icons, `switchInputMethod`
// (list read once, every match selected, nothing reported) and `selectPrevious`.

#include <gmock/gmock.h>

#include "helper/input_sources.h"
#include "unit/helper_fixture.h"

namespace zorv::testing {
namespace {

using helper::iconCandidates;
using helper::InputSource;
using helper::InputSourceManager;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string request(const std::string& id) {
  return R"({"switchInputMethod":{"inputSourceID":")" + id + R"("}})";
}

std::shared_ptr<MemoryInputSource> source(const std::string& id, const std::string& name = "") {
  auto s = std::make_shared<MemoryInputSource>();
  s->id = id;
  s->localizedName = name.empty() ? id : name;
  return s;
}

TEST(IconCandidates, HighResolutionThenTiffThenTheURLItself) {
  struct Case {
    std::string url;
    std::vector<std::string> candidates;
  };
  const Case cases[] = {
      {"file:///Library/Flags/US.png",
       {"file:///Library/Flags/US@2x.png", "file:///Library/Flags/US.tiff",
        "file:///Library/Flags/US.png"}},
      // Every occurrence of the extension in the last component is replaced.
      {"file:///x/a.png.png",
       {"file:///x/a@2x.png@2x.png", "file:///x/a.png.tiff", "file:///x/a.png.png"}},
      // Only in the last component.
      {"file:///icons.png/Flag.png",
       {"file:///icons.png/Flag@2x.png", "file:///icons.png/Flag.tiff",
        "file:///icons.png/Flag.png"}},
      {"file:///x/Flag", {"file:///x/Flag", "file:///x/Flag.tiff", "file:///x/Flag"}},
      {"file:///x/Flag.tiff",
       {"file:///x/Flag@2x.tiff", "file:///x/Flag.tiff", "file:///x/Flag.tiff"}},
      // The high-resolution candidate is always a file URL.
      {"file://localhost/x/US.png",
       {"file:///x/US@2x.png", "file://localhost/x/US.tiff", "file://localhost/x/US.png"}},
      // Without a path there is no high-resolution candidate.
      {"file://", {"file://.tiff", "file://"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(iconCandidates(c.url), c.candidates) << c.url;
  }
}

class InputSources : public ::testing::Test {
 protected:
  MemoryDesktop desktop;
  InputSourceManager manager{desktop.platform()};

  std::vector<std::string> listedIDs() const {
    std::vector<std::string> ids;
    for (const auto& s : manager.inputSources()) ids.push_back(s->id);
    return ids;
  }
  std::string iconOrigin(std::size_t index) const {
    const auto& icon = manager.inputSources().at(index)->icon;
    if (!icon) return "none";
    return static_cast<const MemoryImage&>(*icon).origin;
  }
};

TEST_F(InputSources, OnlyEnabledSelectableKeyboardSourcesWithIdAndNameAreListed) {
  auto& enabled = desktop.inputSources.enabled;
  enabled.push_back(source("us", "U.S."));
  auto palette = source("palette");
  palette->category = port::PropertyValue(std::string("TISCategoryPaletteInputSource"));
  enabled.push_back(palette);
  auto noCategory = source("no-category");
  noCategory->category.reset();
  enabled.push_back(noCategory);
  auto categoryNotAString = source("category-bool");
  categoryNotAString->category = port::PropertyValue(true);
  enabled.push_back(categoryNotAString);
  auto notSelectable = source("not-selectable");
  notSelectable->selectCapable = port::PropertyValue(false);
  enabled.push_back(notSelectable);
  auto selectableMissing = source("selectable-missing");
  selectableMissing->selectCapable.reset();
  enabled.push_back(selectableMissing);
  auto selectableNotABool = source("selectable-string");
  selectableNotABool->selectCapable = port::PropertyValue(std::string("true"));
  enabled.push_back(selectableNotABool);
  auto noID = source("x");
  noID->id.reset();
  enabled.push_back(noID);
  auto noName = source("no-name");
  noName->localizedName.reset();
  enabled.push_back(noName);
  enabled.push_back(source("de", "German"));

  manager.refreshInputSources();
  EXPECT_THAT(listedIDs(), ElementsAre("us", "de"));
  EXPECT_EQ(manager.inputSources()[0]->name, "U.S.");
  EXPECT_EQ(manager.inputSources()[1]->name, "German");
  EXPECT_EQ(manager.inputSources()[1]->tisInputSource, enabled.back());
  EXPECT_THAT(desktop.log.withPrefix("TISCreateInputSourceList "), ElementsAre("all=0"));
}

TEST_F(InputSources, EqualWhenTheIdentifiersAreEqual) {
  InputSource a, b, c;
  a.id = "com.apple.keylayout.US";
  a.name = "U.S.";
  b.id = a.id;
  b.name = "Another name";
  c.id = "com.apple.keylayout.German";
  c.name = a.name;
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
  InputSource composed, decomposed;
  composed.id = "caf\u00e9";
  decomposed.id = "cafe\u0301";
  EXPECT_TRUE(composed == decomposed);
}

TEST_F(InputSources, TheFirstIconCandidateThatLoadsIsTheIcon) {
  struct Case {
    std::set<std::string> files;
    std::string loaded;
    std::vector<std::string> tried;
  };
  const std::string hi = "file:///f/Flag@2x.png", tiff = "file:///f/Flag.tiff",
                    png = "file:///f/Flag.png";
  const Case cases[] = {
      {{hi, tiff, png}, hi, {hi}},
      {{tiff, png}, tiff, {hi, tiff}},
      {{png}, png, {hi, tiff, png}},
      {{}, "none", {hi, tiff, png}},
  };
  for (const auto& c : cases) {
    desktop.log.clear();
    desktop.inputSources.enabled = {source("us")};
    desktop.inputSources.enabled[0]->iconURL = png;
    // An icon URL that does not load does not fall back to the icon reference.
    desktop.inputSources.enabled[0]->hasIconRef = true;
    desktop.inputSources.existingFiles = c.files;
    manager.refreshInputSources();
    EXPECT_EQ(iconOrigin(0), c.loaded);
    EXPECT_EQ(desktop.log.withPrefix("image: "), c.tried);
  }
}

TEST_F(InputSources, WithoutIconURLTheIconReferenceIsUsedElseThereIsNoIcon) {
  auto withIcon = source("a");
  withIcon->hasIconRef = true;
  desktop.inputSources.enabled = {withIcon, source("b")};
  manager.refreshInputSources();
  EXPECT_EQ(iconOrigin(0), "icon");
  EXPECT_EQ(iconOrigin(1), "none");
  EXPECT_THAT(desktop.log.withPrefix("image: "), IsEmpty());
}

TEST_F(InputSources, RefreshingReplacesTheWholeList) {
  desktop.inputSources.enabled = {source("us"), source("de")};
  manager.refreshInputSources();
  desktop.inputSources.enabled = {source("fr")};
  manager.refreshInputSources();
  EXPECT_THAT(listedIDs(), ElementsAre("fr"));
}

TEST_F(InputSources, SelectPreviousPostsCommandShiftSpaceFromAHidSystemSource) {
  desktop.keyboard.initialFlags = 0x10000;
  manager.selectPrevious();
  EXPECT_THAT(desktop.log.withPrefix("CGEventSourceCreate "), ElementsAre("state=1"));
  ASSERT_EQ(desktop.keyboard.posted.size(), 2u);
  const auto& down = desktop.keyboard.posted[0];
  const auto& up = desktop.keyboard.posted[1];
  EXPECT_EQ(down.keyCode, 49);
  EXPECT_TRUE(down.keyDown);
  EXPECT_EQ(up.keyCode, 49);
  EXPECT_FALSE(up.keyDown);
  for (const auto& e : desktop.keyboard.posted) {
    // Replaced, not added to: the flag the new event had is gone.
    EXPECT_EQ(e.flags, 0x120000u);
    EXPECT_TRUE(e.hadSource);
    EXPECT_EQ(e.tap, port::EventTap::hid);
  }
  EXPECT_EQ(desktop.keyboard.liveEvents, 0);
}

TEST_F(InputSources, SelectPreviousWithoutEventsPostsNothing) {
  desktop.keyboard.failSourceCreation = true;
  manager.selectPrevious();
  desktop.keyboard.failSourceCreation = false;
  desktop.keyboard.failingKeyCodes = {49};
  manager.selectPrevious();
  EXPECT_THAT(desktop.keyboard.posted, IsEmpty());
  EXPECT_EQ(desktop.console.lines.size(), 2u);
}

class SwitchInputMethod : public HelperOnMemoryDesktop {
 protected:
  void SetUp() override {
    desktop.inputSources.enabled = {source("us"), source("de"), source("fr")};
    desktop.inputSources.current = desktop.inputSources.enabled[0];
    launch();
  }
  std::vector<std::string> selected() const {
    return desktop.log.withPrefix("TISSelectInputSource ");
  }
};

TEST_F(SwitchInputMethod, SelectsTheSourceWithThatIdentifierAndPrintsNothingElse) {
  run(request("de"));
  EXPECT_THAT(selected(), ElementsAre("de"));
  EXPECT_EQ(desktop.inputSources.current, desktop.inputSources.enabled[1]);
  EXPECT_THAT(out(), ElementsAre("in helper"));
  EXPECT_THAT(notificationTitles(), IsEmpty());
}

TEST_F(SwitchInputMethod, AnUnknownIdentifierChangesNothingAndPrintsNothing) {
  for (const char* id : {"xx", "DE", "de ", ""}) run(request(id));
  EXPECT_THAT(selected(), IsEmpty());
  EXPECT_EQ(desktop.inputSources.current, desktop.inputSources.enabled[0]);
  EXPECT_THAT(out(), ElementsAre("in helper", "in helper", "in helper", "in helper"));
  EXPECT_THAT(notificationTitles(), IsEmpty());
  EXPECT_THAT(desktop.alerts.shown, IsEmpty());
}

TEST_F(SwitchInputMethod, EveryMatchIsSelectedInListOrderAndTheLastStaysCurrent) {
  auto first = source("shared", "First");
  auto second = source("shared", "Second");
  desktop.inputSources.enabled = {first, source("us"), second};
  run(request("shared"));
  EXPECT_THAT(selected(), ElementsAre("shared", "shared"));
  EXPECT_EQ(desktop.inputSources.current, second);
}

TEST_F(SwitchInputMethod, IdentifiersMatchUnderCanonicalEquivalence) {
  desktop.inputSources.enabled.push_back(source("caf\u00e9"));
  run(request("cafe\u0301"));
  EXPECT_THAT(selected(), ElementsAre("caf\u00e9"));
}

TEST_F(SwitchInputMethod, TheListIsReadOnceAndSourcesEnabledLaterAreNotSeen) {
  run(request("de"));
  desktop.inputSources.enabled.push_back(source("ja"));
  run(request("ja"));
  run(request("fr"));
  EXPECT_EQ(desktop.inputSources.listRequests, 1);
  EXPECT_THAT(selected(), ElementsAre("de", "fr"));
}

TEST_F(SwitchInputMethod, AnEmptyListIsReadAgainAtTheNextRequest) {
  desktop.inputSources.enabled.clear();
  run(request("de"));
  run(request("de"));
  EXPECT_EQ(desktop.inputSources.listRequests, 2);
  desktop.inputSources.enabled = {source("de")};
  run(request("de"));
  run(request("de"));
  EXPECT_EQ(desktop.inputSources.listRequests, 3);
  EXPECT_THAT(selected(), ElementsAre("de", "de"));
}

TEST_F(SwitchInputMethod, ASourceOutsideTheFiltersIsNeverSelected) {
  auto notSelectable = source("hidden");
  notSelectable->selectCapable = port::PropertyValue(false);
  auto palette = source("palette");
  palette->category = port::PropertyValue(std::string("TISCategoryPaletteInputSource"));
  desktop.inputSources.enabled.push_back(notSelectable);
  desktop.inputSources.enabled.push_back(palette);
  run(request("hidden"));
  run(request("palette"));
  EXPECT_THAT(selected(), IsEmpty());
}

}  // namespace
}  // namespace zorv::testing
