// `menu`: the older kind, pressing a list of titles in the focused application.

#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include "desktop/menu_builder.h"
#include "helper/accessibility/press_menu_items.h"
#include "unit/helper_fixture.h"

namespace zorv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr port::Pid kNotes = 7;

class MenuKind : public HelperOnMemoryDesktop {
 protected:
  BuiltMenu menu;

  void SetUp() override {
    menu = installMenuBar(
        desktop.accessibility, kNotes,
        {
            {.title = "Notes", .items = {{.title = "Quit Notes"}}},
            {.title = "File",
             .items = {{.title = "Export", .items = {{.title = "PDF"}}}, {.title = "Close"}}},
        });
    auto app = desktop.accessibility.application(kNotes);
    app->attributes["AXTitle"] = std::string("Notes");
    desktop.accessibility.systemWide()->attributes["AXFocusedApplication"] =
        desktop.accessibility.ref(app);
    launch();
  }

  void press(const std::vector<std::string>& items) {
    nlohmann::json document = {{"menu", {{"menuItems", items}}}};
    run(document.dump());
  }
  std::vector<std::string> pressed() const { return desktop.log.withPrefix("AXPress "); }
};

TEST_F(MenuKind, PrintsTheWarningAndTheListBeforeAnythingElse) {
  press({"File", "Export", "PDF"});
  ASSERT_GE(out().size(), 3u);
  EXPECT_EQ(out()[0], "in helper");
  EXPECT_EQ(out()[1], "unexpected, supposed to be replaced by menuCommand");
  EXPECT_EQ(out()[2], R"(["File", "Export", "PDF"])");
  EXPECT_THAT(pressed(), ElementsAre("AXMenuItem \"PDF\""));
}

TEST_F(MenuKind, ThisAppIsReplacedInsideTitlesAndOneEntryPressesTheMenuBarItem) {
  press({"ThisApp", "Quit ThisApp"});
  press({"File"});
  press({});  // nothing
  EXPECT_THAT(pressed(), ElementsAre("AXMenuItem \"Quit Notes\"", "AXMenuBarItem \"File\""));
  EXPECT_EQ(out().back(), "[]");
}

TEST_F(MenuKind, FailuresPrintTheirDescriptions) {
  struct Case {
    std::vector<std::string> path;
    std::string line;
  };
  const Case cases[] = {
      {{"file"}, "The menu item file doesn't exist."},
      {{"File", "Export", "PNG"}, "The menu item PNG doesn't exist."},
      // A leaf has no submenu to descend into.
      {{"File", "Close", "Now"}, "The menu item Now doesn't exist."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    desktop.console.lines.clear();
    press(c.path);
    EXPECT_EQ(out().back(), c.line);
  }
  EXPECT_THAT(pressed(), IsEmpty());
  EXPECT_THAT(desktop.userNotifications.delivered, IsEmpty());
}

TEST_F(MenuKind, APressRefusedByThePlatformIsReportedWithItsCode) {
  menu.find("Close")->actionResults["AXPress"] = kAXErrorCannotComplete;
  press({"File", "Close"});
  EXPECT_EQ(out().back(), "AXUIElementPerformAction failure: AXError.CannotComplete");
}

TEST_F(MenuKind, NoMenuBarNamesTheApplicationOrSaysNoTitle) {
  auto app = desktop.accessibility.application(kNotes);
  app->attributes.erase("AXMenuBar");
  press({"File"});
  EXPECT_EQ(out().back(), "Failed to find menu bar for application: Notes");

  app->attributes.erase("AXTitle");
  press({"File"});
  EXPECT_EQ(out().back(), "Failed to find menu bar for application: no title");
}

TEST_F(MenuKind, UnreadableTitlesPrintADiagnosticAndDoNotMatch) {
  auto close = menu.find("Close");
  close->readErrors["AXTitle"] = kAXErrorNoValue;
  press({"File", "Close"});
  const std::string expected =
      "error getting <AXUIElement #" + std::to_string(close->serial) + " {pid=7}>[AXTitle]: -25212";
  EXPECT_NE(std::find(out().begin(), out().end(), expected), out().end());
  EXPECT_EQ(out().back(), "The menu item Close doesn't exist.");
}

TEST_F(MenuKind, NoFocusedApplicationStopsQuietly) {
  desktop.accessibility.systemWide()->attributes.erase("AXFocusedApplication");
  press({"File"});
  ASSERT_EQ(out().size(), 4u);
  EXPECT_TRUE(out()[3].starts_with("error getting ")) << out()[3];
  EXPECT_TRUE(out()[3].ends_with("[AXFocusedApplication]: -25205")) << out()[3];
  EXPECT_THAT(pressed(), IsEmpty());
}

TEST_F(MenuKind, AFocusedElementThatIsNoApplicationBreaksThePrecondition) {
  desktop.accessibility.systemWide()->attributes["AXFocusedApplication"] =
      desktop.accessibility.ref(menu.menuBar);
  press({"File"});
  EXPECT_NE(out().back().find("pressMenuItems should only be called on the element whose role is "
                              "kAXApplicationRole"),
            std::string::npos);
  EXPECT_THAT(pressed(), IsEmpty());
}

TEST_F(MenuKind, WithoutPermissionTerminatesAfterTheWarningLines) {
  desktop.accessibility.trusted = false;
  press({"File"});
  EXPECT_THAT(out(), ElementsAre("in helper", "unexpected, supposed to be replaced by menuCommand",
                                 R"(["File"])"));
  EXPECT_TRUE(desktop.application.terminated());
  EXPECT_THAT(pressed(), IsEmpty());
}

}  // namespace
}  // namespace zorv::testing
