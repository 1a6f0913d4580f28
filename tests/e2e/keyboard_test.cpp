// The real helper's keystrokes and input-source switches on a headless desktop
// with the layouts us and de: what reaches an application, the log lines named
// through the layout current at the first keystroke, and the locked XKB group.

#include <gmock/gmock.h>

#include <algorithm>
#include <thread>

#include "accessibility.h"
#include "child_process.h"
#include "desktop_bus.h"
#include "headless_desktop.h"
#include "xkb_groups.h"

namespace zorv::e2e {
namespace {

using ::testing::ElementsAre;

constexpr int kUS = 0;
constexpr int kGerman = 1;

// Has no effect and prints only "in helper": no source has that identifier.
constexpr const char* kProbe = R"({"switchInputMethod":{"inputSourceID":"zorv-probe"}})";

std::string keystroke(int code) {
  return R"({"simulateKeystroke":{"code":)" + std::to_string(code) + "}}";
}

std::string switchTo(const std::string& id) {
  return R"({"switchInputMethod":{"inputSourceID":")" + id + R"("}})";
}

class KeyboardSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { desktop = new HeadlessDesktop({.notifications = false}); }
  static void TearDownTestSuite() {
    delete desktop;
    desktop = nullptr;
  }

  void SetUp() override {
    groups = std::make_unique<XkbGroups>(desktop->env());
    ASSERT_THAT(groups->names(), ElementsAre("English (US)", "German"));
    groups->lock(kUS);
  }

  std::unique_ptr<ChildProcess> startHelper() {
    auto helper =
        std::make_unique<ChildProcess>(std::vector<std::string>{ZORV_E2E_HELPER}, desktop->env());
    EXPECT_TRUE(waitUntilListening(*helper, desktop->env(), kProbe)) << helper->transcript();
    return helper;
  }

  std::unique_ptr<ChildProcess> startApp(const std::string& name) {
    auto app = std::make_unique<ChildProcess>(
        std::vector<std::string>{sampleAppPath().string(), "--name", name, "--print-ready"},
        desktop->env());
    EXPECT_TRUE(app->waitForLine("ready")) << app->transcript();
    // Keystrokes go to the focused window: wait until the window is active.
    bool active = false;
    for (int attempt = 0; attempt < 100 && !active; ++attempt) {
      auto tree = accessibleApplication(desktop->env(), name);
      const AccessibleNode* frame = tree ? tree->find("frame") : nullptr;
      active = frame && frame->hasState("active");
      if (!active) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(active) << name << " never became the active window";
    return app;
  }

  // Sends one keystroke and waits for its release line; returns the helper's
  // lines of that request.
  std::vector<std::string> press(ChildProcess& helper, int code) {
    const auto before = helper.lines().size();
    emitRequest(desktop->env(), keystroke(code));
    const bool released = helper.waitForLine(
        [](const std::string& line) { return line.ends_with(" key up simulated"); },
        kDefaultTimeout, Stream::out, before);
    EXPECT_TRUE(released) << helper.transcript();
    auto lines = helper.lines();
    return {lines.begin() + std::ptrdiff_t(before), lines.end()};
  }

  // The press line of one keystroke.
  std::string downLine(ChildProcess& helper, int code) {
    const auto lines = press(helper, code);
    return lines.size() > 1 ? lines[1] : "<no line>";
  }

  // The entry's text once it equals `expected`, or what it was at the time-out.
  std::string entryText(const std::string& app, const std::string& expected) {
    std::string text;
    const auto until = std::chrono::steady_clock::now() + kDefaultTimeout;
    do {
      text = textFieldContents(desktop->env(), app).value_or("<unreadable>");
      if (text == expected) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < until);
    return text;
  }

  static HeadlessDesktop* desktop;
  std::unique_ptr<XkbGroups> groups;
};
HeadlessDesktop* KeyboardSession::desktop = nullptr;

TEST_F(KeyboardSession, KeystrokesTypeIntoTheFocusedEntry) {
  auto app = startApp("KeyTyping");
  auto helper = startHelper();
  // H, I, Shift-1, Space, Shift-Z: the key codes are positions, the text is the
  // US layout's.
  EXPECT_THAT(press(*helper, 4),
              ElementsAre("in helper", "H key down simulated", "H key up simulated"));
  press(*helper, 34);
  EXPECT_THAT(press(*helper, 0x200 + 18),
              ElementsAre("in helper", "\u21e7 1 key down simulated", "\u21e7 1 key up simulated"));
  EXPECT_THAT(press(*helper, 49),
              ElementsAre("in helper", "49 key down simulated", "49 key up simulated"));
  press(*helper, 0x200 + 6);
  EXPECT_EQ(entryText("KeyTyping", "hi! Z"), "hi! Z");
}

TEST_F(KeyboardSession, ControlSTriggersTheSaveAccelerator) {
  auto app = startApp("KeySave");
  auto helper = startHelper();
  EXPECT_THAT(press(*helper, 4097),
              ElementsAre("in helper", "\u2303 S key down simulated", "\u2303 S key up simulated"));
  EXPECT_TRUE(app->waitForLine("activated: File -> Save")) << app->transcript();
  // Control went up again: the next S is typed, not another Save.
  press(*helper, 1);
  EXPECT_EQ(entryText("KeySave", "s"), "s");
  const auto appLines = app->lines();
  EXPECT_EQ(std::count(appLines.begin(), appLines.end(), "activated: File -> Save"), 1);
}

TEST_F(KeyboardSession, TheGroupLockedAtTheFirstKeystrokeNamesTheKeysForGood) {
  groups->lock(kGerman);
  auto helper = startHelper();
  EXPECT_THAT(press(*helper, 16),
              ElementsAre("in helper", "Z key down simulated", "Z key up simulated"));
  // ß upper-cased, the dead circumflex by its own character, Y where US has Z.
  EXPECT_EQ(downLine(*helper, 27), "SS key down simulated");
  EXPECT_EQ(downLine(*helper, 50), "^ key down simulated");
  EXPECT_EQ(downLine(*helper, 0x100 + 6), "\u2318 Y key down simulated");

  groups->lock(kUS);
  EXPECT_EQ(downLine(*helper, 16), "Z key down simulated");

  // A helper started now names the keys after the US layout.
  auto second = startHelper();
  EXPECT_EQ(downLine(*second, 16), "Y key down simulated");
  EXPECT_EQ(downLine(*second, 27), "- key down simulated");
}

TEST_F(KeyboardSession, AKeyCodeWithoutAKeyIsNotSimulated) {
  auto helper = startHelper();
  EXPECT_THAT(press(*helper, 0x300), ElementsAre("in helper", "\u2318 \u21e7 A key down simulated",
                                                 "\u2318 \u21e7 A key up simulated"));
  const auto before = helper->lines().size();
  emitRequest(desktop->env(), keystroke(63));  // the Function key
  ASSERT_TRUE(
      helper->waitForLine("63 key down not simulated: the keyboard event could not be created",
                          kDefaultTimeout, Stream::out, before))
      << helper->transcript();
  // The helper goes on.
  EXPECT_EQ(downLine(*helper, 0), "A key down simulated");
}

TEST_F(KeyboardSession, SwitchInputMethodLocksTheGroupOfThatLayout) {
  auto app = startApp("KeySwitch");
  auto helper = startHelper();
  press(*helper, 16);  // names from US

  const auto before = helper->lines().size();
  emitRequest(desktop->env(), switchTo("de"));
  EXPECT_TRUE(groups->waitForLocked(kGerman)) << "locked: " << groups->locked();
  // Typed through the German layout now; still named after the first keystroke's.
  EXPECT_EQ(downLine(*helper, 16), "Y key down simulated");
  EXPECT_EQ(entryText("KeySwitch", "yz"), "yz");

  emitRequest(desktop->env(), switchTo("us"));
  EXPECT_TRUE(groups->waitForLocked(kUS)) << "locked: " << groups->locked();
  press(*helper, 16);
  EXPECT_EQ(entryText("KeySwitch", "yzy"), "yzy");

  // Nothing but the probes' and keystrokes' lines: switching prints nothing.
  const auto lines = helper->lines();
  EXPECT_EQ(std::count(lines.begin() + std::ptrdiff_t(before), lines.end(), "in helper"), 4);
  EXPECT_EQ(lines.size() - before, 4u + 2 * 2);
}

TEST_F(KeyboardSession, AnUnknownIdentifierChangesNothingAndPrintsNothing) {
  auto helper = startHelper();
  groups->lock(kGerman);
  const auto before = helper->lines().size();
  {
    RequestSender sender(desktop->env());
    for (const char* id : {"fr", "DE", "German", "de(nodeadkeys)", ""}) sender.send(switchTo(id));
    // Runs after the five: it tells when they are done.
    sender.send(R"({"menu":{"menuItems":["marker"]}})");
  }
  ASSERT_TRUE(helper->waitForLine(R"(["marker"])", kDefaultTimeout, Stream::out, before))
      << helper->transcript();
  EXPECT_EQ(groups->locked(), kGerman);
  const auto lines = helper->lines();
  const std::vector<std::string> requestLines(
      lines.begin() + std::ptrdiff_t(before),
      lines.begin() + std::ptrdiff_t(std::min(lines.size(), before + 8)));
  EXPECT_THAT(
      requestLines,
      ElementsAre("in helper", "in helper", "in helper", "in helper", "in helper", "in helper",
                  "unexpected, supposed to be replaced by menuCommand", R"(["marker"])"));
}

}  // namespace
}  // namespace zorv::e2e
