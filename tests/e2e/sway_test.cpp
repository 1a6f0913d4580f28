// The helper on a headless sway (Wayland) desktop: menus through the
// accessibility bus, keystrokes through its virtual keyboard, layouts and
// window switching through sway. The test sees and focuses windows with
// swaymsg, apart from the helper's own code.

#include <gmock/gmock.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "e2e_session.h"
#include "linux/sway/foreign_toplevels.h"

namespace zorv::e2e {
namespace {

using namespace std::chrono_literals;

// Has no effect and prints only "in helper": no source has that identifier.
constexpr const char* kProbe = R"({"switchInputMethod":{"inputSourceID":"zorv-probe"}})";

class Sway : public DesktopSuite<HeadlessDesktopOptions{.notifications = false, .sway = true}> {
 protected:
  std::string swaymsg(std::vector<std::string> args) { return e2e::swaymsg(desktop->env(), args); }
  // The title of the focused window, from sway's tree.
  std::string focusedTitle() {
    std::function<std::string(const nlohmann::json&)> find = [&](const nlohmann::json& node) {
      if (node.value("focused", false)) return node.value("name", std::string());
      for (const char* key : {"nodes", "floating_nodes"}) {
        for (const auto& child : node.value(key, nlohmann::json::array())) {
          if (auto title = find(child); !title.empty()) return title;
        }
      }
      return std::string();
    };
    return find(nlohmann::json::parse(swaymsg({"-t", "get_tree"}), nullptr, false));
  }
  bool waitForFocus(const std::string& title) {
    for (int attempt = 0; attempt < 200 && focusedTitle() != title; ++attempt) {
      std::this_thread::sleep_for(20ms);
    }
    return focusedTitle() == title;
  }
  void send(ChildProcess& helper, const std::string& json) {
    const auto from = helper.lines().size();
    emitRequest(desktop->env(), json);
    emitRequest(desktop->env(), marker("sent"));
    ASSERT_TRUE(helper.waitForLine(markerLine("sent"), from)) << helper.transcript();
  }
  std::string entryText(const std::string& app, const std::string& expected) {
    return textFieldContents(desktop->env(), app, expected);
  }
};

std::string keystroke(int code) {
  return R"({"simulateKeystroke":{"code":)" + std::to_string(code) + "}}";
}
std::string switchTo(const std::string& id) {
  return R"({"switchInputMethod":{"inputSourceID":")" + id + R"("}})";
}

// A 3-level menu path, typing, an accelerator, and the German layout: the key
// at the US "y" position types "z" there, also on the second press.
TEST_F(Sway, MenusKeystrokesAndLayouts) {
  auto app = startApp(*desktop, "Typing");
  auto helper = startHelper(*desktop, kProbe);
  send(*helper, menuCommand("File -> Export -> PDF"));
  EXPECT_TRUE(app->waitForLine("activated: File -> Export -> PDF")) << app->transcript();
  send(*helper, keystroke(4));
  send(*helper, keystroke(34));
  EXPECT_EQ(entryText("Typing", "hi"), "hi");
  send(*helper, keystroke(0x1000 + 1));
  EXPECT_TRUE(app->waitForLine("activated: File -> Save")) << app->transcript();
  send(*helper, switchTo("de"));
  send(*helper, keystroke(16));
  send(*helper, keystroke(16));
  EXPECT_EQ(entryText("Typing", "hizz"), "hizz");
  send(*helper, switchTo("us"));
  send(*helper, keystroke(16));
  EXPECT_EQ(entryText("Typing", "hizzy"), "hizzy");
  expectCleanStop(*helper);
}

// Two applications, then two windows of one: switchWindow goes back to where
// the user was, and again.
TEST_F(Sway, SwitchWindowGoesBackAndForth) {
  auto alpha = startApp(*desktop, "Alpha");
  auto beta = startApp(*desktop, "Beta", {"--windows", "2"});
  auto helper = startHelper(*desktop, kProbe);
  for (const auto& [first, second] : {std::pair{"Alpha", "Beta 1"}, {"Beta 1", "Beta 2"}}) {
    for (const char* title : {first, second}) {
      swaymsg({std::string("[title=\"^") + title + "$\"] focus"});
      ASSERT_TRUE(waitForFocus(title)) << focusedTitle();
      std::this_thread::sleep_for(400ms);
    }
    emitRequest(desktop->env(), R"({"switchWindow":{}})");
    EXPECT_TRUE(waitForFocus(first)) << focusedTitle() << helper->transcript();
    std::this_thread::sleep_for(400ms);
    emitRequest(desktop->env(), R"({"switchWindow":{}})");
    EXPECT_TRUE(waitForFocus(second)) << focusedTitle() << helper->transcript();
  }
  expectCleanStop(*helper);
}

// Where sway knows no window of the process (a sandboxed application reaches
// the accessibility bus through a proxy), the application id and the title
// decide, through the toplevel management protocol.
TEST_F(Sway, ToplevelsAreActivatedByApplicationIdAndTitle) {
  auto app = startApp(*desktop, "Gamma", {"--windows", "2"});
  auto display = linux_desktop::WaylandDisplay::open(desktop->variable("WAYLAND_DISPLAY").c_str());
  ASSERT_TRUE(display);
  linux_desktop::ForeignToplevels toplevels(*display);
  for (const char* title : {"Gamma 1", "Gamma 2", "Gamma 1"}) {
    EXPECT_TRUE(toplevels.activate("Gamma", title));
    EXPECT_TRUE(waitForFocus(title)) << focusedTitle();
  }
  EXPECT_FALSE(toplevels.activate("Gamma", "Gamma 3"));
  EXPECT_FALSE(toplevels.activate("Delta", std::nullopt));
}

// Without sway's socket the compositor is one the helper cannot drive: it says
// so once at start-up, and a keystroke is not simulated.
TEST_F(Sway, AnotherCompositorIsNamedAtStartUpAndKeystrokesAreNotSimulated) {
  auto env = desktop->env();
  env.erase("SWAYSOCK");
  ChildProcess helper({ZORV_E2E_HELPER}, env);
  ASSERT_TRUE(waitUntilListening(helper, env, kProbe)) << helper.transcript();
  send(helper, keystroke(4));
  EXPECT_EQ(
      countSince(helper, 0, "H key down not simulated: the keyboard event could not be created"),
      1u)
      << helper.transcript();
  EXPECT_THAT(helper.lines(Stream::err),
              ::testing::ElementsAre(::testing::HasSubstr(
                  "] This Wayland compositor (XDG_CURRENT_DESKTOP=sway) offers the helper no "
                  "keyboard and no window control: simulateKeystroke, switchInputMethod and "
                  "switchWindow will have no effect")));
  expectCleanStop(helper);
}

}  // namespace
}  // namespace zorv::e2e
