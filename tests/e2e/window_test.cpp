// Going back for real: activations and main-window changes on a desktop with a
// window manager, and switchWindow returning to where the user was. The test
// sees and activates windows with xdotool, apart from the helper's X code.

#include <gmock/gmock.h>

#include <thread>

#include "e2e_session.h"

namespace zorv::e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kSwitchWindow = R"({"switchWindow":{}})";

struct SwitchCase {
  std::vector<std::pair<std::string, int>> apps;  // names and window counts
  std::string first, second;                      // the titles the user activates in turn
  friend void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.first << ", " << c.second; }
};

class WindowSwitching : public DesktopSuite<>, public ::testing::WithParamInterface<SwitchCase> {
 protected:
  std::string activeTitle() {
    ChildProcess xdotool({"xdotool", "getactivewindow", "getwindowname"}, desktop->env());
    return xdotool.wait() && !xdotool.lines().empty() ? xdotool.lines()[0] : "";
  }
  bool waitForActive(const std::string& title) {
    for (int attempt = 0; attempt < 200; ++attempt) {
      if (activeTitle() == title) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  // A user brings a window forward; the helper hears of it shortly after.
  void userActivates(const std::string& title) {
    ChildProcess(
        {"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$", "windowactivate"},
        desktop->env())
        .wait();
    ASSERT_TRUE(waitForActive(title)) << activeTitle();
    std::this_thread::sleep_for(300ms);
  }
};

TEST_P(WindowSwitching, GoesBackAndForthAndOutlivesTheApplications) {
  std::vector<std::unique_ptr<ChildProcess>> apps;
  for (const auto& [name, windows] : GetParam().apps) {
    apps.push_back(startApp(*desktop, name, {"--windows", std::to_string(windows)}));
  }
  // Not switchWindow: the probe must not move the windows under test.
  auto helper = startHelper(*desktop, R"({"switchInputMethod":{"inputSourceID":"zorv-probe"}})");
  userActivates(GetParam().first);
  userActivates(GetParam().second);

  emitRequest(desktop->env(), kSwitchWindow);
  EXPECT_TRUE(waitForActive(GetParam().first)) << activeTitle() << helper->transcript();
  std::this_thread::sleep_for(300ms);
  emitRequest(desktop->env(), kSwitchWindow);
  EXPECT_TRUE(waitForActive(GetParam().second)) << activeTitle() << helper->transcript();

  // The applications it observes end; the helper goes on.
  apps.clear();
  std::this_thread::sleep_for(300ms);
  const auto from = helper->lines().size();
  emitRequest(desktop->env(), marker("still here"));
  EXPECT_TRUE(helper->waitForLine(markerLine("still here"), from)) << helper->transcript();
  expectCleanStop(*helper);
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowSwitching,
                         ::testing::Values(SwitchCase{{{"Alpha", 1}, {"Beta", 1}}, "Alpha", "Beta"},
                                           SwitchCase{{{"Gamma", 2}}, "Gamma 1", "Gamma 2"}));

}  // namespace
}  // namespace zorv::e2e
