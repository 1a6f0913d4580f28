// Choosing the kind of session at start-up, and reading sway's IPC replies:
// the layouts of the session's keyboard, their setxkbmap names, and the window
// to focus.

#include <gmock/gmock.h>

#include "linux/desktop_session.h"
#include "linux/sway/sway_input_sources.h"
#include "linux/sway/sway_session.h"

namespace zorv::linux_desktop {
namespace {

using nlohmann::json;

struct KindCase {
  bool wayland, waylandAnswers, sway, swayAnswers, x, xAnswers;
  SessionKind expected;
};

class SessionKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(SessionKinds, TheAnsweringCompositorDecides) {
  const auto& c = GetParam();
  SessionProbe probe;
  if (c.wayland) probe.waylandDisplay = "wayland-1";
  if (c.sway) probe.swaySocket = "/run/sway.sock";
  if (c.x) probe.display = ":0";
  probe.waylandAnswers = [&] { return c.waylandAnswers; };
  probe.swayAnswers = [&] { return c.swayAnswers; };
  probe.xAnswers = [&] { return c.xAnswers; };
  EXPECT_EQ(chooseSessionKind(probe), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SessionKinds,
    ::testing::Values(KindCase{true, true, true, true, true, true, SessionKind::sway},
                      KindCase{true, true, true, false, true, true, SessionKind::wayland},
                      KindCase{true, true, false, true, false, false, SessionKind::wayland},
                      KindCase{true, false, true, true, true, true, SessionKind::x11},
                      KindCase{false, true, true, true, true, true, SessionKind::x11},
                      KindCase{false, false, false, false, true, false, SessionKind::none}));

// KWin: a desktop list naming KDE as one whole entry, and KWin's bus name answering.
TEST(KdeSessionKind, NamedInTheDesktopListAndKWinAnswering) {
  const std::vector<std::tuple<const char*, bool, SessionKind>> cases = {
      {"KDE", true, SessionKind::kde},
      {"ubuntu:KDE", true, SessionKind::kde},
      {"KDE", false, SessionKind::wayland},
      {"GNOME", true, SessionKind::wayland},
      {"KDEX:XKDE", true, SessionKind::wayland}};
  for (const auto& [desktops, answers, expected] : cases) {
    SessionProbe probe;
    probe.waylandDisplay = "wayland-0";
    probe.currentDesktop = desktops;
    probe.waylandAnswers = [] { return true; };
    probe.kwinAnswers = [answers = answers] { return answers; };
    EXPECT_EQ(chooseSessionKind(probe), expected) << desktops << " " << answers;
  }
}

TEST(SwayLayouts, NamesComeFromTheRulesAndTheRealKeyboardWinsOverVirtualOnes) {
  const auto ids = layoutIdsByDescription(R"x(<xkbConfigRegistry><layoutList>
    <layout><configItem><name>us</name><description>English (US)</description></configItem>
      <variantList><variant><configItem><name>intl</name>
        <description>English (US, intl.)</description></configItem></variant></variantList>
    </layout>
    <layout><configItem><name>de</name><description>German</description></configItem></layout>
    </layoutList></xkbConfigRegistry>)x");
  EXPECT_THAT(ids,
              ::testing::UnorderedElementsAre(::testing::Pair("English (US)", "us"),
                                              ::testing::Pair("English (US, intl.)", "us(intl)"),
                                              ::testing::Pair("German", "de")));
  const auto layouts = sessionKeyboardLayouts(json::parse(R"x([
    {"type": "pointer", "identifier": "1:1:mouse"},
    {"type": "keyboard", "identifier": "0:0:virtual_keyboard",
     "xkb_layout_names": ["English (US)"], "xkb_active_layout_index": 0},
    {"type": "keyboard", "identifier": "1:1:AT_keyboard",
     "xkb_layout_names": ["English (US)", "German"], "xkb_active_layout_index": 1}])x"));
  ASSERT_TRUE(layouts);
  EXPECT_THAT(layouts->names, ::testing::ElementsAre("English (US)", "German"));
  EXPECT_EQ(layouts->active, 1u);
}

// Children in their focus order: the window of the process focused last.
TEST(SwayTree, TheMostRecentlyFocusedWindowOfTheProcessOrTheOneWithTheTitle) {
  const auto tree = json::parse(R"({"id": 1, "focus": [3, 2], "nodes": [
    {"id": 2, "focus": [], "nodes": [
      {"id": 20, "pid": 7, "app_id": "a", "name": "One", "nodes": []}]},
    {"id": 3, "focus": [31, 30], "nodes": [
      {"id": 30, "pid": 7, "app_id": "a", "name": "Two", "nodes": []},
      {"id": 31, "pid": 8, "app_id": "b", "name": "Other", "nodes": []}]}]})");
  EXPECT_EQ(swayWindowOf(tree, 7), 30);
  EXPECT_EQ(swayWindowOf(tree, 7, "One"), 20);
  EXPECT_EQ(swayWindowOf(tree, 9), std::nullopt);
}

}  // namespace
}  // namespace zorv::linux_desktop
