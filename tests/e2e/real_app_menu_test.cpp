// Menus of applications installed from Debian, as their toolkits expose them:
// GTK 3 (Geany, Mousepad, LibreOffice with two menu bars) and Qt 5 (FeatherPad).
// Each case starts the application afresh in a home folder of its own, sends
// one request, and reads the effect back from the application's accessibility
// tree. One row per application and path.

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>

#include "e2e_session.h"

namespace zorv::e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct RealApp {
  std::string name;  // the application's name on the accessibility bus
  // The command line for a home folder, which it may prepare first.
  std::function<std::vector<std::string>(const fs::path& home)> command;
  std::size_t menuBars = 1;
  Environment variables{};
};

// LibreOffice without its first-start dialogs (tip of the day).
std::vector<std::string> libreOffice(const fs::path& home) {
  fs::create_directories(home / "lo/user");
  std::ofstream(home / "lo/user/registrymodifications.xcu")
      << R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
)";
  return {"/usr/lib/libreoffice/program/soffice.bin", "--writer", "--norestore",
          "-env:UserInstallation=file://" + (home / "lo").string()};
}

const RealApp kGeany{"geany", [](const fs::path& home) {
                       return std::vector<std::string>{"geany", "-c", home / "geany"};
                     }};
const RealApp kMousepad{"mousepad",
                        [](const fs::path&) { return std::vector<std::string>{"mousepad"}; }};
const RealApp kFeatherPad{"FeatherPad",
                          [](const fs::path&) { return std::vector<std::string>{"featherpad"}; }};
const RealApp kWriter{"soffice", libreOffice, 2, {{"SAL_USE_VCLPLUGIN", "gtk3"}}};

// What a press changes: the first node of `role` (and `name`) has `state` (or,
// when `state` is empty, exists) after the request when `after` is true, lacks
// it when false, and not so before the request.
struct Effect {
  std::string role;
  std::string name;
  std::string state;
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
  friend void PrintTo(const RealMenuCase& c, std::ostream* os) {
    *os << c.app->name << ": " << c.path;
  }
};

std::optional<AccessibleNode> tree(const Environment& env, const std::string& app) {
  return accessibleApplication(env, app, std::chrono::seconds(5));
}

// The application's window is active and its menu bars are filled in.
bool ready(const AccessibleNode& app, std::size_t menuBars) {
  std::size_t filled = 0;
  std::function<void(const AccessibleNode&)> count = [&](const AccessibleNode& node) {
    if (node.role == "menu bar" && node.children.size() > 1) ++filled;
    for (const auto& child : node.children) count(child);
  };
  count(app);
  const bool active = std::any_of(app.children.begin(), app.children.end(),
                                  [](const auto& window) { return window.hasState("active"); });
  return active && filled >= menuBars;
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

  // The application in a home folder of its own, once it is ready; its tree
  // then. LibreOffice ends once after creating its profile (status 81) and is
  // started again, as its launcher does.
  std::unique_ptr<ChildProcess> start(const RealApp& app, std::optional<AccessibleNode>& now) {
    const fs::path home = desktop->dir() / ("home-" + std::to_string(++homes));
    fs::create_directories(home);
    auto env = desktop->env();
    env["HOME"] = home;
    env["XDG_CONFIG_HOME"] = home / ".config";
    env["XDG_DATA_HOME"] = home / ".local/share";
    env["XDG_CACHE_HOME"] = home / ".cache";
    for (const auto& [name, value] : app.variables) env[name] = value;
    const auto started = Clock::now();
    auto process = std::make_unique<ChildProcess>(app.command(home), env);
    while (Clock::now() - started < std::chrono::seconds(120)) {
      if (!process->running()) {
        if (process->wait()->code != 81) break;
        process = std::make_unique<ChildProcess>(app.command(home), env);
      }
      now = tree(env, app.name);
      if (now && ready(*now, app.menuBars)) {
        std::cout << app.name << " ready after "
                  << std::chrono::duration<double>(Clock::now() - started).count() << " s\n";
        return process;
      }
    }
    ADD_FAILURE() << app.name << " did not come up with its menus\n" << process->transcript();
    return process;
  }

  static inline std::unique_ptr<ChildProcess> helper;
  static inline int homes = 0;
};

TEST_P(RealAppMenus, TheFirstRequestAfterStartActs) {
  const auto& [app, path, effect] = GetParam();
  std::optional<AccessibleNode> now;
  auto process = start(*app, now);
  ASSERT_TRUE(now && ready(*now, app->menuBars));
  ASSERT_FALSE(effect.holds(*now)) << "the effect is there before the request";

  const auto helperFrom = helper->lines().size();
  const auto notificationsFrom = notificationCalls(*desktop).size();
  emitRequest(desktop->env(), menuCommand(path));
  emitRequest(desktop->env(), marker("done"));
  ASSERT_TRUE(helper->waitForLine(markerLine("done"), helperFrom, std::chrono::seconds(60)))
      << helper->transcript();
  bool seen = false;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (!seen && Clock::now() < deadline) {
    now = tree(desktop->env(), app->name);
    seen = now && effect.holds(*now);
  }
  EXPECT_TRUE(seen) << helper->transcript();
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
        // A single title: the search reads every menu before Help.
        RealMenuCase{&kGeany, "Debug Messages", {"dialog", "Debug Messages", ""}},
        // Mousepad pads its titles with blanks ("Statusbar      ").
        RealMenuCase{&kMousepad, "View -> Statusbar", {"status bar", "", "showing"}},
        // A new line ending marks the document changed.
        RealMenuCase{&kMousepad,
                     "Document -> Line Ending -> Mac (CR)",
                     {"frame", "*Untitled 1 - Mousepad", ""}},
        RealMenuCase{&kMousepad, "About", {"dialog", "About Mousepad", ""}},
        RealMenuCase{
            &kFeatherPad, "Options -> Wrap Lines", {"menu item", "Wrap Lines", "checked", false}},
        RealMenuCase{&kFeatherPad,
                     "Options -> Encoding -> Windows Arabic (CP1256)",
                     {"label", "Encoding: CP1256   Lines: 1   Sel. Chars: 0   Words: 0", ""}},
        RealMenuCase{&kFeatherPad, "Jump to", {"label", "Go to line:", "showing"}},
        RealMenuCase{&kWriter, "View -> Status Bar", {"status bar", "", "", false}},
        // Through LibreOffice's own menu bar, which it does not draw, this
        // first press would do nothing.
        RealMenuCase{
            &kWriter, "View -> Toolbars -> Align Objects", {"tool bar", "Align Objects", ""}},
        RealMenuCase{&kWriter, "About LibreOffice", {"dialog", "About LibreOffice", ""}}),
    // "geany_0", ...: a filter can pick one application's rows.
    [](const auto& row) { return row.param.app->name + "_" + std::to_string(row.index); });

}  // namespace
}  // namespace zorv::e2e
