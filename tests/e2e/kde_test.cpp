// The helper on a headless KDE Plasma desktop (KWin on Wayland): the cases of
// every Wayland desktop, a modal dialog in a real GTK application, and a
// helper that KWin does not let type. The test focuses windows and reads the
// focused one with KWin scripts of its own (their print() goes to KWin's
// output), apart from the helper's code.

#include <filesystem>
#include <fstream>

#include "wayland_cases.h"

namespace zorv::e2e {
namespace {

using namespace std::chrono_literals;

class Kde : public WaylandCases<HeadlessDesktopOptions{.notifications = false, .kde = true}> {
 protected:
  // Runs `body` in KWin, which prints "zorv-e2e N: " and what `body` returns;
  // that text. KWin 5.27 may hand a new script the number of an unloaded one
  // and then never run it: such a script is loaded again.
  std::string kwin(const std::string& body) {
    for (int attempt = 0; attempt < 4; ++attempt) {
      const auto tag = "zorv-e2e " + std::to_string(++scripts) + ": ";
      const auto file = desktop->dir() / ("script" + std::to_string(scripts) + ".js");
      std::ofstream(file) << "print(\"" << tag << "\" + (function () {" << body << "})());\n";
      ChildProcess load({"gdbus", "call", "--session", "--dest", "org.kde.KWin", "--object-path",
                         "/Scripting", "--method", "org.kde.kwin.Scripting.loadScript",
                         file.string(), "e2e" + std::to_string(scripts)},
                        desktop->env());
      load.wait();
      const auto reply = load.lines().empty() ? "" : load.lines()[0];
      const auto id = reply.substr(std::min(reply.size(), reply.find_first_of("0123456789")));
      ChildProcess({"gdbus", "call", "--session", "--dest", "org.kde.KWin", "--object-path",
                    "/" + id.substr(0, id.find_first_not_of("0123456789")), "--method",
                    "org.kde.kwin.Script.run"},
                   desktop->env())
          .wait();
      for (int wait = 0; wait < 50; ++wait) {
        std::ifstream out(desktop->dir() / "kwin.out");
        for (std::string line; std::getline(out, line);) {
          if (auto at = line.find(tag); at != std::string::npos)
            return line.substr(at + tag.size());
        }
        std::this_thread::sleep_for(10ms);
      }
    }
    return "<KWin ran no script>";
  }
  void focus(const ChildProcess&, const std::string& title) override {
    kwin(
        "const all = workspace.clientList(); for (let i = 0; i < all.length; ++i) if "
        "(all[i].caption === \"" +
        title + "\") workspace.activeClient = all[i]; return '';");
  }
  std::string focusedTitle() override {
    return kwin("return workspace.activeClient ? workspace.activeClient.caption : '';");
  }
  int scripts = 0;
};

TEST_F(Kde, MenusKeystrokesAndLayouts) {
  menusKeystrokesAndLayouts();
}
TEST_F(Kde, SwitchWindowGoesBackAndForth) {
  switchWindowGoesBackAndForth();
}

// Geany's Save As dialog: the helper still answers, its Escape closes the
// dialog, and Geany still answers (a helper that listened to window events on
// the accessibility bus froze it).
TEST_F(Kde, AModalDialogStallsNeitherTheHelperNorTheApplication) {
  ChildProcess geany({"geany", "-c", (desktop->dir() / "geany").string()}, desktop->env());
  ASSERT_TRUE(waitForFocus("untitled - Geany")) << focusedTitle() << geany.transcript();
  auto helper = startHelper(*desktop, kProbe);
  send(*helper, menuCommand("File -> Save As..."));
  ASSERT_TRUE(waitForFocus("Save File")) << focusedTitle();
  send(*helper, keystroke(53));
  EXPECT_TRUE(waitForFocus("untitled - Geany")) << focusedTitle();
  EXPECT_THAT(accessibleApplication(desktop->env(), "geany", 5s, nullptr),
              ::testing::Ne(std::nullopt))
      << "Geany froze";
  expectCleanStop(*helper);
  geany.terminate();
}

// KWin grants its fake input protocol by the program's desktop entry: a copy
// of the helper elsewhere says why at start-up and types nothing.
TEST_F(Kde, AHelperWithoutTheDesktopEntrySaysWhyKeysCannotWork) {
  const auto copy = desktop->dir() / "elsewhere";
  std::filesystem::copy_file(ZORV_E2E_HELPER, copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
  ChildProcess helper({copy.string()}, desktop->env());
  ASSERT_TRUE(waitUntilListening(helper, desktop->env(), kProbe)) << helper.transcript();
  send(helper, keystroke(4));
  EXPECT_EQ(
      countSince(helper, 0, "H key down not simulated: the keyboard event could not be created"),
      1u)
      << helper.transcript();
  EXPECT_THAT(helper.lines(Stream::err),
              ::testing::ElementsAre(::testing::HasSubstr("] KWin does not let this program (" +
                                                          copy.string() + ") simulate keys")));
  expectCleanStop(helper);
}

}  // namespace
}  // namespace zorv::e2e
