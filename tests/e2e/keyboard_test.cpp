// The real helper's keystrokes and input-source switches on a headless desktop
// with the layouts us and de: what reaches an application, and the XKB group
// locked at the X server, read through a connection of the test's own.

#include <gmock/gmock.h>

#include <thread>

#include "e2e_session.h"
// After the test framework: Xlib's macros (None, Bool, ...) would break it.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace zorv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

constexpr int kUS = 0;
constexpr int kGerman = 1;

// Has no effect and prints only "in helper": no source has that identifier.
constexpr const char* kProbe = R"({"switchInputMethod":{"inputSourceID":"zorv-probe"}})";

std::string switchTo(const std::string& id) {
  return R"({"switchInputMethod":{"inputSourceID":")" + id + R"("}})";
}

class Keyboard : public DesktopSuite<HeadlessDesktopOptions{.notifications = false}> {
 protected:
  void SetUp() override {
    display = XOpenDisplay(desktop->variable("DISPLAY").c_str());
    ASSERT_NE(display, nullptr);
    XkbLockGroup(display, XkbUseCoreKbd, kUS);
    XSync(display, False);
  }
  void TearDown() override { XCloseDisplay(display); }

  int lockedGroup() {
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    return state.locked_group;
  }
  bool waitForLockedGroup(int group) {
    for (int attempt = 0; attempt < 1000 && lockedGroup() != group; ++attempt) {
      std::this_thread::sleep_for(10ms);
    }
    return lockedGroup() == group;
  }

  // The sample application with its window active: keystrokes go there.
  std::unique_ptr<ChildProcess> startActiveApp(const std::string& name) {
    auto app = startApp(*desktop, name);
    bool active = false;
    for (int attempt = 0; attempt < 100 && !active; ++attempt) {
      auto tree = accessibleApplication(desktop->env(), name);
      const AccessibleNode* frame = tree ? tree->find("frame") : nullptr;
      active = frame && frame->hasState("active");
    }
    EXPECT_TRUE(active) << name << " never became the active window";
    return app;
  }

  // Sends one keystroke and returns the helper's lines of it, once released.
  std::vector<std::string> press(ChildProcess& helper, int code) {
    const auto before = helper.lines().size();
    emitRequest(desktop->env(), R"({"simulateKeystroke":{"code":)" + std::to_string(code) + "}}");
    EXPECT_TRUE(helper.waitForLine(
        [](const std::string& line) { return line.ends_with(" key up simulated"); }, before))
        << helper.transcript();
    const auto lines = helper.lines();
    return {lines.begin() + std::ptrdiff_t(before), lines.end()};
  }

  std::string entryText(const std::string& app, const std::string& expected) {
    return textFieldContents(desktop->env(), app, expected);
  }

  Display* display = nullptr;
};

// H, I, Shift-1, Space, Shift-Z: the key codes are positions, the text is the
// US layout's. Control-S triggers the Save accelerator once, and Control goes
// up again: the next S is typed.
TEST_F(Keyboard, KeystrokesTypeIntoTheFocusedEntryAndTriggerAccelerators) {
  ASSERT_EQ(lockedGroup(), kUS);
  auto app = startActiveApp("KeyTyping");
  auto helper = startHelper(*desktop, kProbe);
  EXPECT_THAT(press(*helper, 4),
              ElementsAre("in helper", "H key down simulated", "H key up simulated"));
  press(*helper, 34);
  EXPECT_THAT(press(*helper, 0x200 + 18),
              ElementsAre("in helper", "\u21e7 1 key down simulated", "\u21e7 1 key up simulated"));
  press(*helper, 49);
  press(*helper, 0x200 + 6);
  EXPECT_EQ(entryText("KeyTyping", "hi! Z"), "hi! Z");
  EXPECT_THAT(press(*helper, 4097),
              ElementsAre("in helper", "\u2303 S key down simulated", "\u2303 S key up simulated"));
  EXPECT_TRUE(app->waitForLine("activated: File -> Save")) << app->transcript();
  press(*helper, 1);
  EXPECT_EQ(entryText("KeyTyping", "hi! Zs"), "hi! Zs");
  const auto appLines = app->lines();
  EXPECT_EQ(std::count(appLines.begin(), appLines.end(), "activated: File -> Save"), 1);
  expectCleanStop(*helper);
}

TEST_F(Keyboard, SwitchInputMethodLocksTheGroupOfThatLayoutAndPrintsNothing) {
  auto app = startActiveApp("KeySwitch");
  auto helper = startHelper(*desktop, kProbe);
  press(*helper, 16);  // the first keystroke: key names from the US layout for good

  const auto before = helper->lines().size();
  emitRequest(desktop->env(), switchTo("de"));
  EXPECT_TRUE(waitForLockedGroup(kGerman)) << "locked: " << lockedGroup();
  // Typed through the German layout now, still named after the US one.
  EXPECT_THAT(press(*helper, 16),
              ElementsAre("in helper", "Y key down simulated", "Y key up simulated"));
  EXPECT_EQ(entryText("KeySwitch", "yz"), "yz");

  emitRequest(desktop->env(), switchTo("us"));
  EXPECT_TRUE(waitForLockedGroup(kUS)) << "locked: " << lockedGroup();
  press(*helper, 16);
  EXPECT_EQ(entryText("KeySwitch", "yzy"), "yzy");
  // Two switches and two keystrokes: one "in helper" each, and the key lines.
  EXPECT_EQ(helper->lines().size() - before, 4u + 2 * 2) << helper->transcript();
  expectCleanStop(*helper);
}

}  // namespace
}  // namespace zorv::e2e
