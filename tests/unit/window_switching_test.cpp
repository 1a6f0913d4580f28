// `switchWindow`: the one-step history of activations and main-window changes,
// and the observer that feeds it.

#include <gmock/gmock.h>

#include "ax/observer.h"
#include "unit/helper_fixture.h"

namespace zorv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr port::Pid kA = 100;
constexpr port::Pid kB = 200;
constexpr const char* kSwitch = R"({"switchWindow":{}})";

class WindowSwitching : public HelperOnMemoryDesktop {
 protected:
  std::shared_ptr<AXNode> window(port::Pid pid, std::optional<std::string> title) {
    return desktop.accessibility.newNode(pid, "AXWindow", std::move(title));
  }
  void setMainWindow(port::Pid pid, const std::shared_ptr<AXNode>& node) {
    desktop.accessibility.application(pid)->attributes["AXMainWindow"] =
        desktop.accessibility.ref(node);
  }
  // The platform reports a new main window of the active application.
  void mainWindowBecomes(port::Pid pid, const std::shared_ptr<AXNode>& node) {
    setMainWindow(pid, node);
    desktop.accessibility.postNotification(node, "AXMainWindowChanged");
  }
  // A running with the main window `a` (none when null) and active, B too when
  // `b` is given; then the helper starts.
  void start(const std::shared_ptr<AXNode>& a,
             std::optional<std::shared_ptr<AXNode>> b = std::nullopt) {
    desktop.workspace.launch(kA, "A");
    if (a) setMainWindow(kA, a);
    if (b) desktop.workspace.launch(kB, "B");
    if (b && *b) setMainWindow(kB, *b);
    desktop.workspace.activate(kA);
    launch();
  }
  // What switchWindow asked of the platform, and the platform's reaction to it.
  std::vector<std::string> switchAndFollow() {
    desktop.log.clear();
    run(kSwitch);
    for (auto pid : {kA, kB}) {
      auto& attributes = desktop.accessibility.application(pid)->attributes;
      const auto frontmost = attributes.find("AXFrontmost");
      if (frontmost != attributes.end() && *frontmost->second.get<bool>()) {
        attributes.erase(frontmost);
        desktop.workspace.activate(pid);
      }
    }
    return desktop.log.withPrefix("AXUIElementSetAttributeValue ");
  }
};

TEST_F(WindowSwitching, DoesNothingFirstThenGoesBackAndForthBetweenTwoApplications) {
  start(window(kA, "A1"), window(kB, "B1"));  // seeded with A
  EXPECT_THAT(switchAndFollow(), IsEmpty());  // nothing to go back to yet
  desktop.workspace.activate(kB);

  EXPECT_THAT(switchAndFollow(), ElementsAre("AXFrontmost AXApplication \"\""));
  EXPECT_EQ(delegate.windowSwitchingState().activePid, kA);
  EXPECT_THAT(switchAndFollow(), ElementsAre("AXFrontmost AXApplication \"\""));
  EXPECT_EQ(delegate.windowSwitchingState().activePid, kB);
}

TEST_F(WindowSwitching, AlternatesBetweenTwoMainWindowsOfOneApplication) {
  auto w1 = window(kA, "W1");
  auto w2 = window(kA, "W2");
  start(w1);
  mainWindowBecomes(kA, w2);

  EXPECT_THAT(switchAndFollow(), ElementsAre("AXMain AXWindow \"W1\""));
  mainWindowBecomes(kA, w1);
  EXPECT_THAT(switchAndFollow(), ElementsAre("AXMain AXWindow \"W2\""));
}

TEST_F(WindowSwitching, AWindowChangeAfterAnActivationStaysInsideTheApplication) {
  start(window(kA, "A1"), window(kB, "B1"));
  desktop.workspace.activate(kB);
  // A's windows are no longer observed once B is active.
  mainWindowBecomes(kA, window(kA, "A2"));
  EXPECT_EQ(delegate.windowSwitchingState().previous,
            (support::Either<port::Pid, ax::UIElementPtr>::left(kA)));
  mainWindowBecomes(kB, window(kB, "B2"));
  EXPECT_THAT(switchAndFollow(), ElementsAre("AXMain AXWindow \"B1\""));
}

TEST_F(WindowSwitching, ReactivatingTheRecordedApplicationPointsToItself) {
  start(window(kA, "A1"));
  desktop.workspace.activate(kA);
  EXPECT_EQ(delegate.windowSwitchingState().previous,
            (support::Either<port::Pid, ax::UIElementPtr>::left(kA)));
  EXPECT_THAT(switchAndFollow(), ElementsAre("AXFrontmost AXApplication \"\""));
}

TEST_F(WindowSwitching, AnUntitledWindowNeverBecomesActiveThroughAMainWindowChange) {
  auto untitled = window(kA, std::nullopt);
  auto titled = window(kA, "T");
  start(untitled);  // at activation it is taken as it is
  ASSERT_TRUE(delegate.windowSwitchingState().activeWindow);

  mainWindowBecomes(kA, titled);
  mainWindowBecomes(kA, untitled);  // ignored: no title
  mainWindowBecomes(kA, desktop.accessibility.newNode(kA, "AXSheet", "not a window"));
  EXPECT_THAT(switchAndFollow(), ElementsAre("AXMain AXWindow \"\""));
}

TEST_F(WindowSwitching, AQuitApplicationPrintsAnEmptyLine) {
  start(nullptr, nullptr);
  desktop.workspace.activate(kB);
  desktop.workspace.quit(kA);
  run(kSwitch);
  EXPECT_THAT(out(), ElementsAre("in helper", ""));
}

TEST_F(WindowSwitching, ARefusedSwitchPrintsTheError) {
  auto w1 = window(kA, "W1");
  start(w1);
  mainWindowBecomes(kA, window(kA, "W2"));
  w1->writeResults["AXMain"] = kAXErrorInvalidUIElement;
  run(kSwitch);
  EXPECT_THAT(out(), ElementsAre("in helper", "AXError.InvalidUIElement"));
}

TEST(AXObserver, RegistrationsAreIdempotentDeliveryFollowsStartStopAndUnknownNamesAreLogged) {
  MemoryDesktop desktop;
  auto app = desktop.accessibility.application(7);
  ax::Application element(desktop.platform(), desktop.accessibility.ref(app));
  std::vector<ax::AXNotification> seen;
  {
    ax::Observer observer(
        desktop.platform(), 7,
        [&](ax::Observer&, ax::UIElementPtr, ax::AXNotification n) { seen.push_back(n); });
    observer.addNotification(ax::AXNotification::titleChanged, element);
    observer.addNotification(ax::AXNotification::titleChanged, element);    // already: fine
    observer.removeNotification(ax::AXNotification::windowMoved, element);  // never added: fine
    desktop.accessibility.postNotification(app, "AXTitleChanged");
    observer.stop();
    desktop.accessibility.postNotification(app, "AXTitleChanged");
    observer.start();
    desktop.accessibility.postNotification(app, "AXTitleChanged");
  }
  desktop.accessibility.postNotification(app, "AXTitleChanged");  // destroyed: nothing
  EXPECT_THAT(seen,
              ElementsAre(ax::AXNotification::titleChanged, ax::AXNotification::titleChanged));

  // A platform may report names the vocabulary does not know: logged, not delivered.
  seen.clear();
  ax::Observer listening(
      desktop.platform(), 7,
      [&](ax::Observer&, ax::UIElementPtr, ax::AXNotification n) { seen.push_back(n); });
  listening.addNotification(ax::AXNotification::titleChanged, element);
  desktop.accessibility.deliverEveryName = true;
  desktop.accessibility.postNotification(app, "AXSomethingNew");
  EXPECT_THAT(seen, IsEmpty());
  EXPECT_THAT(desktop.log.withPrefix("log: "),
              ElementsAre("Unknown AX notification AXSomethingNew received"));

  desktop.accessibility.addNotificationResults["AXMoved"] = kAXErrorCannotComplete;
  EXPECT_THROW(listening.addNotification(ax::AXNotification::moved, element), ax::AXError);
}

}  // namespace
}  // namespace zorv::testing
