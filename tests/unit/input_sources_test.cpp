// Input sources: which sources are listed, and `switchInputMethod` (list read
// once, every match selected, nothing reported).

#include <gmock/gmock.h>

#include <functional>

#include "helper/input_sources.h"
#include "unit/helper_fixture.h"

namespace zorv::testing {
namespace {

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

class InputSources : public ::testing::Test {
 protected:
  MemoryDesktop desktop;
  InputSourceManager manager{desktop.platform()};

  std::vector<std::string> listedIDs() const {
    std::vector<std::string> ids;
    for (const auto& s : manager.inputSources()) ids.push_back(s->id);
    return ids;
  }
};

TEST_F(InputSources, OnlyEnabledSelectableKeyboardSourcesWithIdAndNameAreListed) {
  const std::function<void(MemoryInputSource&)> exclusions[] = {
      [](auto& s) {
        s.category = port::PropertyValue(std::string("TISCategoryPaletteInputSource"));
      },
      [](auto& s) { s.category.reset(); },
      [](auto& s) { s.category = port::PropertyValue(true); },
      [](auto& s) { s.selectCapable = port::PropertyValue(false); },
      [](auto& s) { s.selectCapable.reset(); },
      [](auto& s) { s.selectCapable = port::PropertyValue(std::string("true")); },
      [](auto& s) { s.id.reset(); },
      [](auto& s) { s.localizedName.reset(); },
  };
  auto& enabled = desktop.inputSources.enabled;
  enabled.push_back(source("us", "U.S."));
  for (const auto& exclude : exclusions) {
    enabled.push_back(source("excluded"));
    exclude(*enabled.back());
  }
  enabled.push_back(source("de", "German"));

  manager.refreshInputSources();
  EXPECT_THAT(listedIDs(), ElementsAre("us", "de"));
  EXPECT_EQ(manager.inputSources()[1]->name, "German");
  EXPECT_EQ(manager.inputSources()[1]->tisInputSource, enabled.back());
  EXPECT_THAT(desktop.log.withPrefix("TISCreateInputSourceList "), ElementsAre("all=0"));
}

class SwitchInputMethod : public HelperOnMemoryDesktop {
 protected:
  void SetUp() override {
    desktop.inputSources.enabled = {
        source("us"),       source("de"), source("fr"), source("shared"), source("shared", "2nd"),
        source("caf\u00e9")};
    desktop.inputSources.current = desktop.inputSources.enabled[0];
    launch();
  }
  std::vector<std::string> selected() const {
    return desktop.log.withPrefix("TISSelectInputSource ");
  }
};

// Every source with the identifier is selected, in list order, and the last
// stays current; nothing is printed or reported, whether any matched or not.
struct Selection {
  const char* name;
  const char* id;
  std::vector<std::string> selected;
  std::size_t current;  // index in the list
};

class SelectionOf : public SwitchInputMethod, public ::testing::WithParamInterface<Selection> {};

TEST_P(SelectionOf, SelectsEveryMatchAndPrintsNothingElse) {
  run(request(GetParam().id));
  EXPECT_EQ(selected(), GetParam().selected);
  EXPECT_EQ(desktop.inputSources.current, desktop.inputSources.enabled[GetParam().current]);
  EXPECT_THAT(out(), ElementsAre("in helper"));
  EXPECT_THAT(notificationTitles(), IsEmpty());
  EXPECT_THAT(desktop.alerts.shown, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, SelectionOf,
    ::testing::Values(Selection{"one", "de", {"de"}, 1}, Selection{"unknown", "xx", {}, 0},
                      Selection{"otherCase", "DE", {}, 0}, Selection{"trailingSpace", "de ", {}, 0},
                      Selection{"empty", "", {}, 0},
                      Selection{"two", "shared", {"shared", "shared"}, 4},
                      Selection{"canonicallyEquivalent", "cafe\u0301", {"caf\u00e9"}, 5}),
    [](const auto& test) { return std::string(test.param.name); });

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

}  // namespace
}  // namespace zorv::testing
