// Firefox and LibreOffice Writer fill menus in when they open: the first request
// after the application starts presses its item, and leaves no menu open.

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "e2e_session.h"

namespace zorv::e2e {
namespace {

struct RealAppCase {
  std::string app;   // "firefox" or "writer"
  std::string path;  // the menuCommand path
  std::string effect;
  std::function<bool(const AccessibleNode&)> done;
  friend void PrintTo(const RealAppCase& c, std::ostream* os) { *os << c.app << ": " << c.path; }
};

bool showing(const AccessibleNode& app, const std::string& role, const std::string& name) {
  const auto* node = app.find(role, name);
  return node && node->hasState("showing");
}

// Menus and items that are open: an entry of the bar expanded or selected, an
// item below it shown (Firefox keeps "showing" on items of closed menus, but
// not "visible").
void openMenus(const AccessibleNode& node, int depth, std::vector<std::string>& out) {
  const bool menu = node.role == "menu" || node.role.ends_with("menu item");
  if (menu && (depth == 1 ? node.hasState("expanded") || node.hasState("selected")
                          : depth > 1 && node.hasState("showing") && node.hasState("visible"))) {
    out.push_back(node.name);
  }
  for (const auto& child : node.children) {
    openMenus(child, node.role == "menu bar" ? 1 : (depth > 0 ? depth + 1 : 0), out);
  }
}

// Private profiles without first-run pages or the tip of the day (a modal
// dialog that would take every press).
constexpr const char* kFirefoxPrefs = R"(user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
)";
constexpr const char* kWriterSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
)";

class RealAppMenus : public DesktopSuite<>, public ::testing::WithParamInterface<RealAppCase> {
 protected:
  static void SetUpTestSuite() {
    DesktopSuite::SetUpTestSuite();
    helper = startHelper(*desktop);
  }
  static void TearDownTestSuite() {
    expectCleanStop(*helper);
    helper.reset();
    DesktopSuite::TearDownTestSuite();
  }

  // The application started afresh, once its menu bar is on the accessibility bus.
  static std::pair<std::unique_ptr<ChildProcess>, std::string> start(const std::string& app) {
    auto env = desktop->env();
    const auto profile = desktop->dir() / app;
    const bool firefox = app == "firefox";
    std::filesystem::create_directories(profile / "user");
    std::ofstream(profile / (firefox ? "user.js" : "user/registrymodifications.xcu"))
        << (firefox ? kFirefoxPrefs : kWriterSettings);
    env[firefox ? "GNOME_ACCESSIBILITY" : "SAL_USE_VCLPLUGIN"] = firefox ? "1" : "gtk3";
    // soffice.bin itself, so that ending the child ends LibreOffice.
    const std::vector<std::string> argv =
        firefox ? std::vector<std::string>{"firefox-esr", "--no-remote", "--profile",
                                           profile.string(), "about:blank"}
                : std::vector<std::string>{"/usr/lib/libreoffice/program/soffice.bin", "--writer",
                                           "--norestore",
                                           "-env:UserInstallation=file://" + profile.string()};
    const std::string name = firefox ? "Firefox" : "soffice";
    auto child = std::make_unique<ChildProcess>(argv, env);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (std::chrono::steady_clock::now() < deadline) {
      // LibreOffice ends with 81 once it has set up a new profile; it runs when started again.
      if (!child->running() && child->wait()->code == 81) {
        child = std::make_unique<ChildProcess>(argv, env);
      }
      auto tree = accessibleApplication(desktop->env(), name, std::chrono::seconds(5));
      const auto* frame = tree ? tree->find("frame") : nullptr;
      if (frame && frame->hasState("active") && tree->find("menu bar")) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return {std::move(child), name};
  }

  static inline std::unique_ptr<ChildProcess> helper;
};

TEST_P(RealAppMenus, FirstRequestPressesTheItemAndClosesWhatItOpened) {
  const auto& param = GetParam();
  auto [app, name] = start(param.app);
  auto before = accessibleApplication(desktop->env(), name);
  ASSERT_TRUE(before && before->find("menu bar")) << app->transcript();
  ASSERT_FALSE(param.done(*before)) << param.effect << " before the request";
  const bool barShowing = before->find("menu bar")->hasState("showing");

  const auto from = helper->lines().size();
  const auto started = std::chrono::steady_clock::now();
  emitRequest(desktop->env(), menuCommand(param.path));
  emitRequest(desktop->env(), marker("done"));
  ASSERT_TRUE(helper->waitForLine(markerLine("done"), from, std::chrono::seconds(30)))
      << helper->transcript();
  const auto took = std::chrono::steady_clock::now() - started;
  std::cout << param.path << ": " << std::chrono::duration_cast<Duration>(took).count() << " ms\n";
  std::optional<AccessibleNode> after;
  while (std::chrono::steady_clock::now() - started < std::chrono::seconds(20)) {
    after = accessibleApplication(desktop->env(), name);
    if (after && param.done(*after)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(after && param.done(*after)) << param.effect << "\n" << helper->transcript();
  std::vector<std::string> open;
  openMenus(*after, 0, open);
  EXPECT_THAT(open, ::testing::IsEmpty());
  EXPECT_EQ(after->find("menu bar")->hasState("showing"), barShowing);
}

INSTANTIATE_TEST_SUITE_P(
    FirstRequest, RealAppMenus,
    ::testing::Values(
        RealAppCase{"firefox", "File -> New Window", "a second window",
                    [](const AccessibleNode& a) { return a.namesOf("frame").size() == 2; }},
        RealAppCase{"firefox", "View -> Toolbars -> Customize Toolbar…", "the customize tab",
                    [](const AccessibleNode& a) {
                      return a.find("page tab", "Customize Firefox") != nullptr;
                    }},
        RealAppCase{"writer", "View -> Status Bar", "the status bar hidden",
                    [](const AccessibleNode& a) { return !showing(a, "status bar", ""); }},
        RealAppCase{"writer", "View -> Toolbars -> Drawing", "the Drawing toolbar shown",
                    [](const AccessibleNode& a) { return showing(a, "tool bar", "Drawing"); }}));

}  // namespace
}  // namespace zorv::e2e
