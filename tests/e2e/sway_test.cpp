// The helper on a headless sway (Wayland) desktop: menus through the
// accessibility bus, keystrokes through its virtual keyboard, layouts and
// window switching through sway. The test sees and focuses windows with
// swaymsg, apart from the helper's own code.

#include <gmock/gmock.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "linux/sway/foreign_toplevels.h"
#include "wayland_cases.h"

namespace zorv::e2e {
namespace {

using namespace std::chrono_literals;

class Sway : public WaylandCases<HeadlessDesktopOptions{.notifications = false, .sway = true}> {
 protected:
  std::string swaymsg(std::vector<std::string> args) { return e2e::swaymsg(desktop->env(), args); }
  void focus(const ChildProcess&, const std::string& title) override {
    swaymsg({"[title=\"^" + title + "$\"] focus"});
  }
  // The title of the focused window, from sway's tree.
  std::string focusedTitle() override {
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
};

TEST_F(Sway, MenusKeystrokesAndLayouts) {
  menusKeystrokesAndLayouts();
}
TEST_F(Sway, SwitchWindowGoesBackAndForth) {
  switchWindowGoesBackAndForth();
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
