// Menus for real: the helper presses items of a GTK application's menu bar
// through the accessibility bus, as requests arrive over the session bus.

#include <gmock/gmock.h>

#include "accessibility.h"
#include "child_process.h"
#include "desktop_bus.h"
#include "headless_desktop.h"

namespace zorv::e2e {
namespace {

std::string menuCommand(const std::string& title) {
  return R"({"menuCommand":{"info":{"menuTitle":")" + title + R"("}}})";
}

class Menus : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { desktop = new HeadlessDesktop(); }
  static void TearDownTestSuite() {
    delete desktop;
    desktop = nullptr;
  }

  // The sample application in front, known to the accessibility bus, and the
  // helper listening.
  void start(const std::string& appName = "Sample") {
    app = std::make_unique<ChildProcess>(
        std::vector<std::string>{sampleAppPath().string(), "--name", appName, "--print-ready"},
        desktop->env());
    ASSERT_TRUE(app->waitForLine("ready")) << app->transcript();
    std::string problem;
    ASSERT_TRUE(accessibleApplication(desktop->env(), appName, kDefaultTimeout, &problem))
        << problem;
    helper =
        std::make_unique<ChildProcess>(std::vector<std::string>{ZORV_E2E_HELPER}, desktop->env());
    ASSERT_TRUE(waitUntilListening(*helper, desktop->env())) << helper->transcript();
  }

  void TearDown() override {
    helper.reset();
    app.reset();
  }

  // Sends the request and waits until the helper finished it (the next probe ran).
  void send(const std::string& json) {
    const auto from = helper->lines().size();
    emitRequest(desktop->env(), json);
    emitRequest(desktop->env(), R"({"switchWindow":{}})");
    std::size_t seen = 0;
    ASSERT_TRUE(helper->waitForLine(
        [&](const std::string& line) { return line == "in helper" && ++seen == 2; },
        kDefaultTimeout, Stream::out, from))
        << helper->transcript();
  }

  std::vector<std::string> notificationsSince(std::size_t before, std::size_t expected) {
    std::vector<std::string> summaries;
    auto calls = waitForNotificationCalls(*desktop, before + expected);
    for (std::size_t i = before; i < calls.size(); ++i) summaries.push_back(calls[i].summary);
    return summaries;
  }

  static HeadlessDesktop* desktop;
  std::unique_ptr<ChildProcess> app;
  std::unique_ptr<ChildProcess> helper;
};
HeadlessDesktop* Menus::desktop = nullptr;

TEST_F(Menus, MenuCommandPressesANestedItem) {
  start();
  send(menuCommand("File -> Export -> PDF"));
  EXPECT_TRUE(app->waitForLine("activated: File -> Export -> PDF")) << app->transcript();
  EXPECT_THAT(helper->lines(), ::testing::Contains("File -> Export -> PDF"));
}

TEST_F(Menus, ADisabledItemOrOneInsideADisabledMenuIsNotFound) {
  start();
  const auto before = notificationCalls(*desktop).size();
  send(menuCommand("File -> Export -> Disabled Format"));
  send(menuCommand("View -> Archive -> Zip"));
  EXPECT_THAT(notificationsSince(before, 2),
              ::testing::ElementsAre("Failed to find the menu named 'Disabled Format' or it is "
                                     "currently unavailable.",
                                     "Failed to find the menu named 'Archive' or it is currently "
                                     "unavailable."));
  EXPECT_FALSE(app->waitForLine("activated: File -> Export -> Disabled Format",
                                std::chrono::milliseconds(300)));
}

TEST_F(Menus, ThisAppNamesTheApplicationsOwnMenu) {
  start("Notes");
  send(menuCommand("ThisApp -> About Notes"));
  EXPECT_TRUE(app->waitForLine("activated: Notes -> About Notes")) << app->transcript();
}

TEST_F(Menus, TheFirstDeeperMatchIsTakenInOrder) {
  start();
  // "PDF" is under File > Export and under Edit > Find; File's subtree comes first.
  send(menuCommand("PDF"));
  send(menuCommand("Edit -> PDF"));
  ASSERT_TRUE(app->waitForLine("activated: Edit -> Find -> PDF")) << app->transcript();
  std::vector<std::string> activations;
  for (const auto& line : app->lines()) {
    if (line.starts_with("activated: ")) activations.push_back(line);
  }
  EXPECT_THAT(activations, ::testing::ElementsAre("activated: File -> Export -> PDF",
                                                  "activated: Edit -> Find -> PDF"));
}

TEST_F(Menus, TheMenuKindPressesThroughTheFocusedApplication) {
  start();
  send(R"({"menu":{"menuItems":["File","Save"]}})");
  EXPECT_TRUE(app->waitForLine("activated: File -> Save")) << app->transcript();
  send(R"({"menu":{"menuItems":["File","Missing"]}})");
  EXPECT_THAT(helper->lines(), ::testing::Contains("The menu item Missing doesn't exist."));
}

TEST_F(Menus, WithNothingInFrontTheMenuCannotBeRead) {
  start();
  app->terminate();
  // The window manager clears the active window once the application is gone.
  const auto before = notificationCalls(*desktop).size();
  for (int attempt = 0; attempt < 50; ++attempt) {
    send(menuCommand("File"));
    if (!notificationCalls(*desktop).empty() &&
        notificationCalls(*desktop).back().summary ==
            "Failed to get the frontmost application's menu.") {
      break;
    }
  }
  auto calls = notificationCalls(*desktop);
  ASSERT_GT(calls.size(), before);
  EXPECT_EQ(calls.back().summary, "Failed to get the frontmost application's menu.");
  EXPECT_THAT(helper->lines(),
              ::testing::Contains("Failed to get the frontmost application's menu."));
}

}  // namespace
}  // namespace zorv::e2e
