// Going back for real: activations and main-window changes on a desktop with a
// window manager, and switchWindow returning to where the user was.

#include <gmock/gmock.h>

#include <thread>

#include "accessibility.h"
#include "child_process.h"
#include "desktop_bus.h"
#include "headless_desktop.h"
#include "x_screen.h"

namespace zorv::e2e {
namespace {

using namespace std::chrono_literals;

class WindowSwitching : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop = std::make_unique<HeadlessDesktop>();
    screen = std::make_unique<Screen>(desktop->variable("DISPLAY"));
  }

  std::unique_ptr<ChildProcess> startApp(const std::string& name, int windows = 1) {
    auto app = std::make_unique<ChildProcess>(
        std::vector<std::string>{sampleAppPath().string(), "--name", name, "--windows",
                                 std::to_string(windows), "--print-ready"},
        desktop->env());
    EXPECT_TRUE(app->waitForLine("ready")) << app->transcript();
    EXPECT_TRUE(accessibleApplication(desktop->env(), name));
    return app;
  }

  void startHelper() {
    helper =
        std::make_unique<ChildProcess>(std::vector<std::string>{ZORV_E2E_HELPER}, desktop->env());
    // Not switchWindow: the probe must not move the windows under test.
    ASSERT_TRUE(waitUntilListening(*helper, desktop->env(), R"({"sleep":{}})"))
        << helper->transcript();
  }

  // A user brings a window forward; the helper hears of it shortly after.
  void userActivates(const std::string& title) {
    screen->activate(title);
    ASSERT_TRUE(screen->waitForActive(title)) << screen->activeTitle();
    std::this_thread::sleep_for(300ms);
  }

  void switchWindow() { emitRequest(desktop->env(), R"({"switchWindow":{}})"); }

  std::unique_ptr<HeadlessDesktop> desktop;
  std::unique_ptr<Screen> screen;
  std::unique_ptr<ChildProcess> helper;
};

TEST_F(WindowSwitching, GoesBackToThePreviousApplicationAndForthAgain) {
  auto a = startApp("Alpha");
  auto b = startApp("Beta");
  startHelper();
  userActivates("Alpha");
  userActivates("Beta");

  switchWindow();
  EXPECT_TRUE(screen->waitForActive("Alpha")) << screen->activeTitle() << helper->transcript();
  std::this_thread::sleep_for(300ms);
  switchWindow();
  EXPECT_TRUE(screen->waitForActive("Beta")) << screen->activeTitle() << helper->transcript();
}

TEST_F(WindowSwitching, TogglesBetweenTwoWindowsOfOneApplication) {
  auto app = startApp("Gamma", 2);
  startHelper();
  userActivates("Gamma 1");
  userActivates("Gamma 2");

  switchWindow();
  EXPECT_TRUE(screen->waitForActive("Gamma 1")) << screen->activeTitle() << helper->transcript();
  std::this_thread::sleep_for(300ms);
  switchWindow();
  EXPECT_TRUE(screen->waitForActive("Gamma 2")) << screen->activeTitle() << helper->transcript();
}

TEST_F(WindowSwitching, TheHelperOutlivesTheApplicationItObserves) {
  auto a = startApp("Alpha");
  auto b = startApp("Beta");
  startHelper();
  userActivates("Beta");
  b->terminate();
  std::this_thread::sleep_for(300ms);
  const auto from = helper->lines().size();
  emitRequest(desktop->env(), R"({"menuCommand":{"info":{"menuTitle":"still here"}}})");
  EXPECT_TRUE(helper->waitForLine("still here", kDefaultTimeout, Stream::out, from))
      << helper->transcript();
  EXPECT_TRUE(helper->running());
}

}  // namespace
}  // namespace zorv::e2e
