// Menus of applications installed from Debian, as their toolkits expose them.
// Each row starts its application afresh in a home folder of its own, sends one
// request and reads the effect from the application's accessibility tree.

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "e2e_session.h"

namespace zorv::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Profiles without first-start pages and dialogs (LibreOffice's tip of the day
// is a modal dialog that would take every press).
constexpr const char* kWriterSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
</oor:items>)";
constexpr const char* kFirefoxPrefs = R"(user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
)";

struct RealApp {
  std::string name;               // on the accessibility bus
  std::vector<std::string> argv;  // "HOME" in an argument: its home folder
  std::size_t menuBars = 1;
  std::string settingsFile = "";  // below its home folder
  const char* settings = "";
};
const RealApp kGeany{"geany", {"geany", "-c", "HOME/geany"}};
const RealApp kMousepad{"mousepad", {"mousepad"}};
const RealApp kFeatherPad{"FeatherPad", {"featherpad"}};
// soffice.bin itself, so that ending the child ends LibreOffice.
const RealApp kWriter{"soffice",
                      {"/usr/lib/libreoffice/program/soffice.bin", "--writer", "--norestore",
                       "-env:UserInstallation=file://HOME/lo"},
                      2,
                      "lo/user/registrymodifications.xcu",
                      kWriterSettings};
const RealApp kFirefox{"Firefox",
                       {"firefox-esr", "--no-remote", "--profile", "HOME/ff", "about:blank"},
                       1,
                       "ff/user.js",
                       kFirefoxPrefs};

// At least `count` nodes of `role` (and `name`) with `state` (or, with no
// state, at all) after the request when `after`, none when not; and not so before.
struct Effect {
  std::string role;
  std::optional<std::string> name;
  std::string state = "";
  bool after = true;
  std::size_t count = 1;
  std::size_t found(const AccessibleNode& node) const {
    std::size_t n = node.role == role && (!name || node.name == *name) &&
                    (state.empty() || node.hasState(state));
    for (const auto& child : node.children) n += found(child);
    return n;
  }
  bool holds(const AccessibleNode& tree) const { return (found(tree) >= count) == after; }
};

struct RealMenuCase {
  const RealApp* app;
  std::string path;
  Effect effect;
};

// Menus left open: an entry of the bar expanded or selected, an item below it
// shown (Firefox keeps "showing" on items of closed menus, not "visible").
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

std::size_t filledMenuBars(const AccessibleNode& node) {
  std::size_t count = node.role == "menu bar" && node.children.size() > 1;
  for (const auto& child : node.children) count += filledMenuBars(child);
  return count;
}

class RealAppMenus : public DesktopSuite<>, public ::testing::WithParamInterface<RealMenuCase> {
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

  // Until the tree of the app satisfies `condition` (true then), or nullopt.
  static std::optional<AccessibleNode> waitFor(
      const Environment& env, const std::string& app,
      const std::function<bool(const AccessibleNode&)>& condition, Duration timeout,
      ChildProcess* process = nullptr) {
    for (const auto deadline = Clock::now() + timeout; Clock::now() < deadline;) {
      if (process && !process->running()) return std::nullopt;
      auto tree = accessibleApplication(env, app, std::chrono::seconds(5));
      if (tree && condition(*tree)) return tree;
    }
    return std::nullopt;
  }

  // The app once its window is active and its menu bars are filled in.
  // LibreOffice ends once after creating its profile (status 81) and is started
  // again, as its launcher would.
  std::unique_ptr<ChildProcess> start(const RealApp& app, std::optional<AccessibleNode>& tree) {
    const fs::path home = desktop->dir() / ("home-" + std::to_string(++homes));
    if (!app.settingsFile.empty()) {
      fs::create_directories((home / app.settingsFile).parent_path());
      std::ofstream(home / app.settingsFile) << app.settings;
    }
    auto env = desktop->env();
    env["GNOME_ACCESSIBILITY"] = "1";
    env["HOME"] = home;
    env["XDG_CONFIG_HOME"] = home / ".config";
    env["SAL_USE_VCLPLUGIN"] = "gtk3";
    auto argv = app.argv;
    for (auto& arg : argv) {
      if (auto at = arg.find("HOME"); at != std::string::npos) arg.replace(at, 4, home);
    }
    const auto started = Clock::now();
    auto ready = [&](const AccessibleNode& node) {
      return filledMenuBars(node) >= app.menuBars &&
             std::ranges::any_of(node.children, [](auto& w) { return w.hasState("active"); });
    };
    auto process = std::make_unique<ChildProcess>(argv, env);
    tree = waitFor(env, app.name, ready, std::chrono::seconds(120), process.get());
    if (!tree && !process->running() && process->wait()->code == 81) {
      process = std::make_unique<ChildProcess>(argv, env);
      tree = waitFor(env, app.name, ready, std::chrono::seconds(120), process.get());
    }
    std::cout << app.name << " ready after "
              << std::chrono::duration<double>(Clock::now() - started).count() << " s\n";
    return process;
  }

  static inline std::unique_ptr<ChildProcess> helper;
  static inline int homes = 0;
};

TEST_P(RealAppMenus, TheFirstRequestAfterStartActs) {
  const auto& [app, path, effect] = GetParam();
  std::optional<AccessibleNode> tree;
  auto process = start(*app, tree);
  ASSERT_TRUE(tree) << app->name << " did not come up with its menus\n" << process->transcript();
  ASSERT_FALSE(effect.holds(*tree)) << "the effect is there before the request";
  const bool barShowing = tree->find("menu bar")->hasState("showing");

  const auto helperFrom = helper->lines().size();
  const auto notificationsFrom = notificationCalls(*desktop).size();
  emitRequest(desktop->env(), menuCommand(path));
  emitRequest(desktop->env(), marker("done"));
  ASSERT_TRUE(helper->waitForLine(markerLine("done"), helperFrom, std::chrono::seconds(60)));
  auto holds = [&](const AccessibleNode& node) { return effect.holds(node); };
  ASSERT_TRUE(waitFor(desktop->env(), app->name, holds, std::chrono::seconds(20)))
      << helper->transcript();
  // What the helper opened to read a menu it closed again (a press may close
  // the menus above an item a moment after it took effect).
  auto closed = [&](const AccessibleNode& node) {
    std::vector<std::string> open;
    openMenus(node, 0, open);
    return open.empty() && node.find("menu bar")->hasState("showing") == barShowing;
  };
  EXPECT_TRUE(waitFor(desktop->env(), app->name, closed, std::chrono::seconds(5)))
      << "menus left open\n" << helper->transcript();
  EXPECT_THAT(summariesSince(*desktop, notificationsFrom, 0), ::testing::IsEmpty());
  process->terminate();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RealAppMenus,
    ::testing::Values(
        RealMenuCase{&kGeany,
                     "View -> Show White Space",
                     {"check menu item", "Show White Space", "checked"}},
        RealMenuCase{
            &kGeany, "Document -> Indent Type -> Spaces", {"radio menu item", "Spaces", "checked"}},
        // A single title: every menu before Help is read.
        RealMenuCase{&kGeany, "Debug Messages", {"dialog", "Debug Messages"}},
        // Mousepad pads its titles ("Statusbar      ").
        RealMenuCase{&kMousepad, "View -> Statusbar", {"status bar", "", "showing"}},
        // A new line ending marks the document changed.
        RealMenuCase{
            &kMousepad, "Document -> Line Ending -> Mac (CR)", {"frame", "*Untitled 1 - Mousepad"}},
        RealMenuCase{&kMousepad, "About", {"dialog", "About Mousepad"}},
        RealMenuCase{
            &kFeatherPad, "Options -> Wrap Lines", {"menu item", "Wrap Lines", "checked", false}},
        RealMenuCase{&kFeatherPad,
                     "Options -> Encoding -> Windows Arabic (CP1256)",
                     {"label", "Encoding: CP1256   Lines: 1   Sel. Chars: 0   Words: 0"}},
        RealMenuCase{&kFeatherPad, "Jump to", {"label", "Go to line:", "showing"}},
        RealMenuCase{&kWriter, "View -> Status Bar", {"status bar", "", "", false}},
        // LibreOffice's own menu bar, which it does not draw, ignores this first press.
        RealMenuCase{&kWriter, "View -> Toolbars -> Align Objects", {"tool bar", "Align Objects"}},
        RealMenuCase{&kWriter, "About LibreOffice", {"dialog", "About LibreOffice"}},
        // Firefox fills a menu in only once it has been opened.
        RealMenuCase{&kFirefox, "File -> New Window", {"frame", std::nullopt, "", true, 2}},
        RealMenuCase{&kFirefox,
                     "View -> Toolbars -> Customize Toolbar…",
                     {"page tab", "Customize Firefox"}}),
    // "geany_0", ...: a filter can take one application's rows.
    [](const auto& row) { return row.param.app->name + "_" + std::to_string(row.index); });

}  // namespace
}  // namespace zorv::e2e
