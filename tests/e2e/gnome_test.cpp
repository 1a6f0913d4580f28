// The helper on a headless GNOME desktop (gnome-shell on Wayland): the cases of
// every Wayland desktop and a modal dialog in a real GTK application, with the
// helper's shell extension; without it, keys and what they cannot do. The test
// focuses windows and reads the focused one through the extension's own
// methods, apart from the helper's code.

#include "wayland_cases.h"

namespace zorv::e2e {
namespace {

using ::testing::HasSubstr;

class Gnome : public WaylandCases<HeadlessDesktopOptions{.notifications = false, .gnome = true}> {
 protected:
  std::string shell(const std::string& method, std::vector<std::string> args = {}) {
    args.insert(args.begin(),
                {"gdbus", "call", "--session", "--dest", "name.pemu.zorv.Shell", "--object-path",
                 "/name/pemu/zorv/Shell", "--method", "name.pemu.zorv.Shell." + method});
    ChildProcess child(args, desktop->env());
    child.wait();
    std::string text;
    for (const auto& line : child.lines()) text += line + "\n";
    return text;
  }
  void focus(const ChildProcess& app, const std::string& title) override {
    shell("ActivateWindow", {std::to_string(app.pid()), title});
  }
  std::string focusedTitle() override {
    const auto reply = shell("GetFocus");  // (uint32 PID, 'TITLE')
    const auto open = reply.find('\''), close = reply.rfind('\'');
    return open < close && close != std::string::npos ? reply.substr(open + 1, close - open - 1)
                                                      : std::string();
  }
};

TEST_F(Gnome, MenusKeystrokesAndLayouts) {
  menusKeystrokesAndLayouts();
}
TEST_F(Gnome, SwitchWindowGoesBackAndForth) {
  switchWindowGoesBackAndForth();
}

// A menu item that opens a modal dialog in a real GTK application: the dialog
// takes the helper's keys (a helper listening to the applications'
// accessibility events froze the application there).
TEST_F(Gnome, AModalDialogFromAMenuTakesTheHelpersKeys) {
  ChildProcess geany({"geany", "-c", (desktop->dir() / "geany").string()}, desktop->env());
  ASSERT_TRUE(waitForFocus("untitled - Geany")) << geany.transcript();
  auto helper = startHelper(*desktop, kProbe);
  send(*helper, menuCommand("File -> Save As..."));
  ASSERT_TRUE(waitForFocus("Save File")) << focusedTitle();
  send(*helper, keystroke(53));
  EXPECT_TRUE(waitForFocus("untitled - Geany")) << focusedTitle();
  expectCleanStop(*helper);
  geany.terminate();
}

class GnomeWithoutExtension : public WaylandCases<HeadlessDesktopOptions{
                                  .notifications = false, .gnome = true, .extension = false}> {
 protected:
  void focus(const ChildProcess&, const std::string&) override {}
  std::string focusedTitle() override { return {}; }
};

// Without the shell extension keys still go through mutter, while the layout
// stays: the helper says so once at start-up.
TEST_F(GnomeWithoutExtension, KeysWorkAndLayoutsAreNotPretended) {
  auto app = startApp(*desktop, "Plain");
  auto helper = startHelper(*desktop, kProbe);
  send(*helper, R"({"switchInputMethod":{"inputSourceID":"de"}})");
  send(*helper, keystroke(16));
  EXPECT_EQ(entryText("Plain", "y"), "y");
  EXPECT_THAT(helper->lines(Stream::err),
              ::testing::ElementsAre(HasSubstr(
                  "] The zorv-helper GNOME Shell extension is not running: switchInputMethod and "
                  "switchWindow will have no effect; enable it with \"gnome-extensions enable "
                  "zorv-helper@pemu.name\"")));
  expectCleanStop(*helper);
}

}  // namespace
}  // namespace zorv::e2e
