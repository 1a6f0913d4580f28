// `menuCommand`: path resolution against the frontmost application's menu tree,
// the reports, and the permission check.

#include <gmock/gmock.h>

#include "desktop/menu_builder.h"
#include "unit/helper_fixture.h"

namespace zorv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

constexpr port::Pid kEditor = 42;

std::string request(const std::string& title) {
  return R"({"menuCommand":{"info":{"menuTitle":")" + title + R"("}}})";
}

class MenuCommand : public HelperOnMemoryDesktop {
 protected:
  BuiltMenu menu;

  void SetUp() override {
    desktop.workspace.launch(kEditor, "Editor", "org.example.Editor");
    menu = installMenuBar(
        desktop.accessibility, kEditor,
        {
            {.title = "Editor", .items = {{.title = "About Editor"}}},
            {.title = "File",
             .items = {{.title = "Open"},
                       {.title = "Export", .items = {{.title = "PDF"}, {.title = "Save"}}},
                       {.title = "Save"},
                       {.title = "Print", .enabled = false}}},
            {.title = "Edit", .items = {{.title = "Find", .items = {{.title = "PDF"}}}}},
            {.title = "", .items = {{.title = "Hidden"}}},
        });
    desktop.workspace.activate(kEditor);
    launch();
  }

  std::vector<std::string> pressed() const { return desktop.log.withPrefix("AXPress "); }
};

TEST_F(MenuCommand, DescendsThePathAndPressesTheLastItem) {
  run(request("File -> Export -> PDF"));
  EXPECT_THAT(pressed(), ElementsAre("AXMenuItem \"PDF\""));
  EXPECT_THAT(out(), ElementsAre("in helper", "File -> Export -> PDF"));
  EXPECT_THAT(notificationTitles(), IsEmpty());
}

TEST_F(MenuCommand, ThisAppIsTheFrontmostApplicationsName) {
  run(request("ThisApp -> About Editor"));
  EXPECT_THAT(pressed(), ElementsAre("AXMenuItem \"About Editor\""));
}

TEST_F(MenuCommand, ANameNotFoundIsReportedAndNothingPressed) {
  run(request("File -> Import"));
  EXPECT_THAT(pressed(), IsEmpty());
  EXPECT_THAT(notifications(),
              ElementsAre(Pair("Failed to find the menu named 'Import' or it is currently "
                               "unavailable.",
                               std::nullopt)));
  EXPECT_THAT(out(), ElementsAre("in helper", "File -> Import"));
}

TEST_F(MenuCommand, NamesCompareCaseSensitivelyUnderCanonicalEquivalence) {
  run(request("file -> Open"));
  EXPECT_THAT(pressed(), IsEmpty());
  desktop.userNotifications.delivered.clear();

  menu.find("Open")->attributes["AXTitle"] = std::string("Caf\xC3\xA9");
  run(request("File -> Cafe\xCC\x81"));
  EXPECT_THAT(pressed(), ElementsAre("AXMenuItem \"Caf\xC3\xA9\""));
}

TEST_F(MenuCommand, AnEmptyPathPressesNothingAndReportsNothing) {
  run(request(""));
  run(request("->->"));
  EXPECT_THAT(pressed(), IsEmpty());
  EXPECT_THAT(notificationTitles(), IsEmpty());
}

TEST_F(MenuCommand, AnItemDisabledByTheTimeItIsPressedIsLeftAlone) {
  auto open = menu.find("Open");
  open->attributes["AXEnabled"] = false;
  open->nextValues["AXEnabled"] = {true};  // enabled while the tree is read
  run(request("File -> Open"));
  EXPECT_THAT(open->performed, IsEmpty());
  EXPECT_THAT(notificationTitles(), IsEmpty());
}

// The menu search's error line comes before the report.
TEST_F(MenuCommand, NoFrontmostApplicationOrAnUnreadableMenuBarGivesReportA) {
  const std::string text = "Failed to get the frontmost application's menu.";
  desktop.accessibility.application(kEditor)->readErrors["AXMenuBar"] = kAXErrorAPIDisabled;
  run(request("File"));
  EXPECT_THAT(out(), ElementsAre("in helper", "File", "error: AXError.APIDisabled.", text));
  desktop.workspace.quit(kEditor);
  run(request("File"));
  EXPECT_THAT(notificationTitles(), ElementsAre(text, text));
  EXPECT_THAT(out(), ElementsAre("in helper", "File", "error: AXError.APIDisabled.", text,
                                 "in helper", "File", text));
}

TEST_F(MenuCommand, WithoutPermissionTerminatesBeforeTouchingAnyMenu) {
  desktop.accessibility.trusted = false;
  const int readsBefore = desktop.accessibility.totalAttributeReads();
  run(request("File -> Open"));
  EXPECT_THAT(desktop.log.withPrefix("log: "),
              ElementsAre("No accessibility API permission, exiting"));
  // Only the check at launch asks the user for the permission.
  EXPECT_THAT(desktop.log.withPrefix("AXIsProcessTrustedWithOptions prompt="),
              ElementsAre("true", "false"));
  EXPECT_TRUE(desktop.application.terminated());
  EXPECT_EQ(desktop.accessibility.totalAttributeReads(), readsBefore);
  EXPECT_THAT(pressed(), IsEmpty());
}

}  // namespace
}  // namespace zorv::testing
