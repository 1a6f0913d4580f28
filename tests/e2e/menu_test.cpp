// Menus for real: the helper presses items of a GTK application's menu bar
// through the accessibility bus, as requests arrive over the session bus.

#include <gmock/gmock.h>

#include "e2e_session.h"

namespace zorv::e2e {
namespace {

struct MenuCase {
  std::string request;
  std::string activated;  // the path the application reports as pressed, or ""
  std::string notified;   // the summary of the one report, or ""
  friend void PrintTo(const MenuCase& c, std::ostream* os) { *os << c.request; }
};

// One application and one helper for all the cases.
class Menus : public DesktopSuite<>, public ::testing::WithParamInterface<MenuCase> {
 protected:
  static void SetUpTestSuite() {
    DesktopSuite::SetUpTestSuite();
    app = startApp(*desktop, "Notes");
    helper = startHelper(*desktop);
  }
  static void TearDownTestSuite() {
    expectCleanStop(*helper);
    helper.reset();
    app.reset();
    DesktopSuite::TearDownTestSuite();
  }

  static std::vector<std::string> activationsSince(std::size_t from) {
    std::vector<std::string> found;
    const auto lines = app->lines();
    for (std::size_t i = from; i < lines.size(); ++i) {
      if (lines[i].starts_with("activated: ")) found.push_back(lines[i].substr(11));
    }
    return found;
  }

  static inline std::unique_ptr<ChildProcess> app;
  static inline std::unique_ptr<ChildProcess> helper;
};

TEST_P(Menus, PressTheItemOrReportWhyNot) {
  const auto& [request, activated, notified] = GetParam();
  const auto appFrom = app->lines().size();
  const auto helperFrom = helper->lines().size();
  const auto notificationsFrom = notificationCalls(*desktop).size();
  emitRequest(desktop->env(), request);
  emitRequest(desktop->env(), marker("done"));
  ASSERT_TRUE(helper->waitForLine(markerLine("done"), helperFrom)) << helper->transcript();
  if (!activated.empty()) {
    EXPECT_TRUE(app->waitForLine("activated: " + activated, appFrom)) << app->transcript();
  }
  EXPECT_EQ(activationsSince(appFrom),
            activated.empty() ? std::vector<std::string>{} : std::vector{activated});
  EXPECT_EQ(summariesSince(*desktop, notificationsFrom, !notified.empty()),
            notified.empty() ? std::vector<std::string>{} : std::vector{notified});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Menus,
    ::testing::Values(
        MenuCase{menuCommand("File -> Export -> PDF"), "File -> Export -> PDF", ""},
        MenuCase{menuCommand("ThisApp -> About Notes"), "Notes -> About Notes", ""},
        // "PDF" is under File > Export and under Edit > Find: File's menu comes first.
        MenuCase{menuCommand("PDF"), "File -> Export -> PDF", ""},
        MenuCase{menuCommand("Edit -> PDF"), "Edit -> Find -> PDF", ""},
        MenuCase{R"({"menu":{"menuItems":["File","Save"]}})", "File -> Save", ""},
        MenuCase{menuCommand("File -> Export -> Disabled Format"), "",
                 "Failed to find the menu named 'Disabled Format' or it is currently "
                 "unavailable."},
        // An enabled item inside a disabled menu.
        MenuCase{menuCommand("View -> Archive -> Zip"), "",
                 "Failed to find the menu named 'Archive' or it is currently unavailable."}));

// The menu bar used last is looked at first on the next request; once the
// application has hidden it and shown another, presses go to the one shown.
class MenusWithTwoBars : public DesktopSuite<> {};

TEST_F(MenusWithTwoBars, FollowsTheApplicationToTheMenuBarItShows) {
  auto app = startApp(*desktop, "Bars", {"--two-menu-bars", "--report-window"});
  auto helper = startHelper(*desktop);
  const std::pair<std::string, std::string> presses[] = {
      {"File -> Save", "Bars"},
      {"View -> Swap Menu Bars", "Bars"},
      {"File -> Save", "Bars (second bar)"},
  };
  for (const auto& [path, bar] : presses) {
    const auto from = app->lines().size();
    emitRequest(desktop->env(), menuCommand(path));
    ASSERT_TRUE(app->waitForLine([](const auto& l) { return l.starts_with("activated: "); }, from))
        << app->transcript();
    EXPECT_EQ(app->lines().at(from), "activated: " + path + " in \"" + bar + "\"");
  }
  expectCleanStop(*helper);
}

}  // namespace
}  // namespace zorv::e2e
