// zorv-menus on a real GTK application, through the running helper; its exit statuses.

#include <gmock/gmock.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "e2e_session.h"

namespace zorv::e2e {
namespace {

// The standard output of zorv-menus, and the first line on standard error when
// it fails; it must end with `code`.
std::string run(std::vector<std::string> args, const Environment& env, int code = 0) {
  args.insert(args.begin(), ZORV_E2E_MENUS);
  ChildProcess menus(args, env);
  const auto status = menus.wait(std::chrono::seconds(30));
  EXPECT_TRUE(status && status->code == code) << menus.transcript();
  std::string out;
  for (const auto& line : menus.lines()) out += line + "\n";
  const auto errors = menus.lines(Stream::err);
  return code == 0 ? out : out + (errors.empty() ? "" : errors.front());
}

class MenuListing : public DesktopSuite<> {};

// Each path listed, sent as menuCommand, chooses its item.
TEST_F(MenuListing, EveryPathListedChoosesItsItem) {
  auto helper = startHelper(*desktop);
  auto app = startApp(*desktop, "Notes");
  std::vector<std::string> listed, paths;
  for (const auto& item : nlohmann::json::parse(run({"--json", "--all"}, desktop->env()))) {
    const std::string path = item["path"], keys = item.value("shortcut", ""),
                      skipped = item.value("skipped", "");
    listed.push_back(path + (item["enabled"] ? "" : " off") + (keys.empty() ? "" : " " + keys) +
                     (skipped.empty() ? "" : " (" + skipped + ")"));
    if (skipped.empty() && path != "File -> Quit") paths.push_back(path);
  }
  // Separators are no items; modifiers as the key bindings have them.
  EXPECT_THAT(listed, ::testing::ElementsAreArray(
                          {"Notes -> About Notes", "File -> New Ctrl+N", "File -> Open Ctrl+O",
                           "File -> Save Ctrl+S", "File -> Export -> PDF", "File -> Export -> PNG",
                           "File -> Export -> Disabled Format off (disabled)",
                           "File -> Quit Ctrl+Q", "Edit -> Undo off (disabled)",
                           "Edit -> Copy Ctrl+C", "Edit -> Paste Ctrl+Shift+V",
                           "Edit -> Find -> Find Next Ctrl+G", "Edit -> Find -> PDF",
                           "View -> Zoom In Ctrl++", "View -> Keep All Ctrl+Alt+Shift+K",
                           "View -> Archive -> Zip off (disabled)", "View ->  (untitled)"}));
  paths.push_back("File -> Quit");  // it ends the application: last
  RequestSender sender(desktop->env());
  for (const auto& path : paths) sender.send(menuCommand(path));
  ASSERT_TRUE(app->waitForLine("activated: File -> Quit", 0, std::chrono::seconds(60)));
  std::vector<std::string> activated;
  for (const auto& line : app->lines()) {
    if (line.starts_with("activated: ")) activated.push_back(line.substr(11));
  }
  EXPECT_EQ(activated, paths) << app->transcript();

  expectCleanStop(*helper);
}

struct ExitCase {
  const char* name;
  enum { none, shared, withoutAccessibility } desktop;
  std::vector<std::string> arguments;  // "SELF": this test's pid
  int code;
  const char* message;
};

class MenuListingExits : public DesktopSuite<>, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(MenuListingExits, ExitWithTheStatusAndOneLine) {
  auto c = GetParam();
  std::optional<HeadlessDesktop> own;
  std::optional<ChildProcess> app;  // in front, with no accessibility bus to be seen on
  if (c.desktop == ExitCase::withoutAccessibility) {
    own.emplace(
        HeadlessDesktopOptions{.notifications = false, .logind = false, .accessibility = false});
    app.emplace(std::vector<std::string>{ZORV_E2E_SAMPLE_APP_PATH, "--print-ready"}, own->env());
    ASSERT_TRUE(app->waitForLine("ready")) << app->transcript();
  }
  for (auto& arg : c.arguments) arg = arg == "SELF" ? std::to_string(getpid()) : arg;
  const auto env = own ? own->env() : c.desktop ? desktop->env() : Environment{};
  EXPECT_THAT(run(c.arguments, env, c.code), ::testing::HasSubstr(c.message));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MenuListingExits,
    ::testing::Values(
        ExitCase{"UnknownOption", ExitCase::none, {"--frontmost"}, 2, "usage: zorv-menus"},
        ExitCase{"PidNotANumber", ExitCase::none, {"--pid", "12x"}, 2, "usage: zorv-menus"},
        ExitCase{"NoFrontmost", ExitCase::shared, {}, 1, "zorv-menus: no frontmost application"},
        ExitCase{"NoA11yBus", ExitCase::withoutAccessibility, {}, 1, "no accessibility bus"},
        ExitCase{"NoMenuBar", ExitCase::shared, {"--pid", "SELF"}, 1, "has no menu bar"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace zorv::e2e
