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

struct RealApp {
  std::string name;               // on the accessibility bus
  std::vector<std::string> argv;  // "HOME" in an argument: its home folder
  std::size_t menuBars = 1;
};
const RealApp kGeany{"geany", {"geany", "-c", "HOME/geany"}};
const RealApp kMousepad{"mousepad", {"mousepad"}};
const RealApp kFeatherPad{"FeatherPad", {"featherpad"}};
const RealApp kWriter{"soffice",
                      {"/usr/lib/libreoffice/program/soffice.bin", "--writer", "--norestore",
                       "-env:UserInstallation=file://HOME/lo"},
                      2};
// LibreOffice's profile without first-start dialogs (the tip of the day).
constexpr const char* kWriterSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
</oor:items>)";

// The first node of `role` and `name` has `state` (or, with no state, exists)
// after the request when `after`, lacks it when not; and not so before.
struct Effect {
  std::string role, name;
  std::string state = "";
  bool after = true;
  bool holds(const AccessibleNode& tree) const {
    const auto* node = tree.find(role, name);
    return (node && (state.empty() || node->hasState(state))) == after;
  }
};

struct RealMenuCase {
  const RealApp* app;
  std::string path;
  Effect effect;
};

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
    fs::create_directories(home / "lo/user");
    std::ofstream(home / "lo/user/registrymodifications.xcu") << kWriterSettings;
    auto env = desktop->env();
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

  const auto helperFrom = helper->lines().size();
  const auto notificationsFrom = notificationCalls(*desktop).size();
  emitRequest(desktop->env(), menuCommand(path));
  emitRequest(desktop->env(), marker("done"));
  ASSERT_TRUE(helper->waitForLine(markerLine("done"), helperFrom, std::chrono::seconds(60)));
  auto holds = [&](const AccessibleNode& node) { return effect.holds(node); };
  EXPECT_TRUE(waitFor(desktop->env(), app->name, holds, std::chrono::seconds(20)))
      << helper->transcript();
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
        RealMenuCase{&kWriter, "About LibreOffice", {"dialog", "About LibreOffice"}}),
    // "geany_0", ...: a filter can take one application's rows.
    [](const auto& row) { return row.param.app->name + "_" + std::to_string(row.index); });

}  // namespace
}  // namespace zorv::e2e
