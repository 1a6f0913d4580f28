// zorv-menus on real GTK applications: every path it lists, sent to the
// running helper as menuCommand, chooses that item; and its exit statuses.

#include <gmock/gmock.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "e2e_session.h"

namespace zorv::e2e {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// The listing as JSON, once zorv-menus has ended with status 0.
nlohmann::json listMenus(const Environment& env, bool all = false) {
  ChildProcess menus({ZORV_E2E_MENUS, "--json", all ? "--all" : "--json"}, env);
  const auto status = menus.wait(std::chrono::seconds(30));
  EXPECT_TRUE(status && status->success()) << menus.transcript();
  std::string text;
  for (const auto& line : menus.lines()) text += line + "\n";
  return nlohmann::json::parse(text, nullptr, false);
}

// "Menu -> Item" of every node of `role` below the menus of `node`.
void itemsOfRole(const AccessibleNode& node, const std::string& role, const std::string& path,
                 std::map<std::string, const AccessibleNode*>& out) {
  for (const auto& child : node.children) {
    const auto own = (path.empty() ? "" : path + " -> ") + child.name;
    if (child.role == role) out[own] = &child;
    itemsOfRole(child, role, child.role == "menu" ? own : path, out);
  }
}

class MenuListing : public DesktopSuite<> {
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
  static inline std::unique_ptr<ChildProcess> helper;
};

TEST_F(MenuListing, EveryPathListedForTheSampleAppChoosesItsItem) {
  auto app = startApp(*desktop, "Notes");
  const auto listing = listMenus(desktop->env(), true);
  std::vector<std::string> listed, paths;
  for (const auto& item : listing) {
    listed.push_back(
        item["path"].get<std::string>() + (item["enabled"] ? "" : " off") +
        (item.contains("shortcut") ? " " + item["shortcut"].get<std::string>() : "") +
        (item.contains("skipped") ? " (" + item["skipped"].get<std::string>() + ")" : ""));
    if (!item.contains("skipped")) paths.push_back(item["path"]);
  }
  // Separators are no items; modifiers as the key bindings have them.
  EXPECT_THAT(listed, ElementsAreArray(
                          {"Notes -> About Notes", "File -> New Ctrl+N", "File -> Open Ctrl+O",
                           "File -> Save Ctrl+S", "File -> Export -> PDF", "File -> Export -> PNG",
                           "File -> Export -> Disabled Format off (disabled)",
                           "File -> Quit Ctrl+Q", "Edit -> Undo off (disabled)",
                           "Edit -> Copy Ctrl+C", "Edit -> Paste Ctrl+Shift+V",
                           "Edit -> Find -> Find Next Ctrl+G", "Edit -> Find -> PDF",
                           "View -> Zoom In Ctrl++", "View -> Keep All Ctrl+Alt+Shift+K",
                           "View -> Archive -> Zip off (disabled)", "View ->  (untitled)"}));

  // Quit ends the application: it goes last.
  std::stable_partition(paths.begin(), paths.end(), [](auto& p) { return p != "File -> Quit"; });
  RequestSender sender(desktop->env());
  for (const auto& path : paths) sender.send(menuCommand(path));
  ASSERT_TRUE(app->waitForLine("activated: " + paths.back(), 0, std::chrono::seconds(30)))
      << app->transcript() << helper->transcript();
  std::vector<std::string> activated;
  for (const auto& line : app->lines()) {
    if (line.starts_with("activated: ")) activated.push_back(line.substr(11));
  }
  EXPECT_EQ(activated, paths);
}

// Geany's check items change their state when chosen: each one listed, sent as
// menuCommand, turns its own state over.
TEST_F(MenuListing, EveryCheckItemListedForGeanyChoosesItsItem) {
  auto env = desktop->env();
  env["HOME"] = desktop->dir() / "geany-home";
  env["XDG_CONFIG_HOME"] = desktop->dir() / "geany-home/.config";
  ChildProcess geany({"geany", "-c", desktop->dir() / "geany"}, env);
  std::map<std::string, const AccessibleNode*> before;
  std::optional<AccessibleNode> tree;
  for (int attempt = 0; attempt < 60 && before.size() < 10; ++attempt) {
    before.clear();
    tree = accessibleApplication(env, "geany", std::chrono::seconds(20));
    if (tree && std::ranges::any_of(tree->children, [](auto& w) { return w.hasState("active"); }))
      itemsOfRole(*tree, "check menu item", "", before);
  }
  ASSERT_GE(before.size(), 10u) << geany.transcript();

  const auto listing = listMenus(env);
  std::vector<std::string> paths;
  for (const auto& item : listing) {
    if (before.contains(item["path"])) paths.push_back(item["path"]);
  }
  EXPECT_EQ(paths.size(), before.size());
  const auto open =
      std::ranges::find(listing, "File -> Open...", [](auto& i) { return i["path"]; });
  ASSERT_NE(open, listing.end());
  EXPECT_EQ(*open, (nlohmann::json{
                       {"path", "File -> Open..."}, {"enabled", true}, {"shortcut", "Ctrl+O"}}));
  RequestSender sender(env);
  for (const auto& path : paths) sender.send(menuCommand(path));
  const auto from = helper->lines().size();
  sender.send(marker("geany done"));
  ASSERT_TRUE(helper->waitForLine(markerLine("geany done"), from, std::chrono::seconds(60)));
  std::map<std::string, const AccessibleNode*> after;
  auto changed = accessibleApplication(env, "geany");
  ASSERT_TRUE(changed);
  itemsOfRole(*changed, "check menu item", "", after);
  for (const auto& path : paths) {
    ASSERT_TRUE(after.contains(path)) << path;
    EXPECT_NE(before[path]->hasState("checked"), after[path]->hasState("checked")) << path;
  }
  geany.terminate();
}

enum class Desktop { none, shared, withoutAccessibility };

struct ExitCase {
  const char* name;
  Desktop desktop;
  bool app;                            // the sample application in front
  std::vector<std::string> arguments;  // "SELF": this test's pid
  int code;
  const char* message;  // in the first line on standard error
};

void PrintTo(const ExitCase& c, std::ostream* out) {
  *out << c.name;
}

class MenuListingExits : public DesktopSuite<>, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(MenuListingExits, ExitWithTheStatusAndOneLine) {
  const auto& c = GetParam();
  std::optional<HeadlessDesktop> own;
  if (c.desktop == Desktop::withoutAccessibility) {
    own.emplace(
        HeadlessDesktopOptions{.notifications = false, .logind = false, .accessibility = false});
  }
  const Environment env = own                            ? own->env()
                          : c.desktop == Desktop::shared ? desktop->env()
                                                         : Environment{};
  std::optional<ChildProcess> app;
  if (c.app) {
    app.emplace(std::vector<std::string>{ZORV_E2E_SAMPLE_APP_PATH, "--print-ready"}, env);
    ASSERT_TRUE(app->waitForLine("ready")) << app->transcript();
  }
  std::vector<std::string> argv{ZORV_E2E_MENUS};
  for (const auto& arg : c.arguments)
    argv.push_back(arg == "SELF" ? std::to_string(getpid()) : arg);
  ChildProcess menus(argv, env);
  const auto status = menus.wait(std::chrono::seconds(30));
  ASSERT_TRUE(status) << menus.transcript();
  EXPECT_EQ(status->code, c.code) << menus.transcript();
  const auto errors = menus.lines(Stream::err);
  ASSERT_FALSE(errors.empty());
  EXPECT_THAT(errors.front(), HasSubstr(c.message));
  EXPECT_TRUE(menus.lines().empty()) << menus.transcript();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MenuListingExits,
    ::testing::Values(
        ExitCase{"UnknownOption", Desktop::none, false, {"--frontmost"}, 2, "usage: zorv-menus"},
        ExitCase{"PidNotANumber", Desktop::none, false, {"--pid", "12x"}, 2, "usage: zorv-menus"},
        ExitCase{
            "NoFrontmost", Desktop::shared, false, {}, 1, "zorv-menus: no frontmost application"},
        ExitCase{"NoAccessibilityBus",
                 Desktop::withoutAccessibility,
                 true,
                 {},
                 1,
                 "zorv-menus: no accessibility bus"},
        ExitCase{"NoMenuBar", Desktop::shared, false, {"--pid", "SELF"}, 1, "has no menu bar"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace zorv::e2e
