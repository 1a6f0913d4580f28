// A menu item that opens a modal dialog, in a real GTK application (Geany), on
// each kind of desktop: the helper goes on at once, a key closes the dialog,
// and the application answers and obeys menu commands afterwards.

#include <gmock/gmock.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "e2e_session.h"
// After the test framework: Xlib's macros (None, Bool, ...) would break it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace zorv::e2e {
namespace {

using namespace std::chrono_literals;

// The titles of the windows the window manager manages, read from the X
// server: a blocked application cannot be asked.
std::vector<std::string> x11WindowTitles(const Environment& env) {
  std::vector<std::string> titles;
  Display* display = XOpenDisplay(env.at("DISPLAY").c_str());
  if (!display) return titles;
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, DefaultRootWindow(display),
                         XInternAtom(display, "_NET_CLIENT_LIST", False), 0, 1024, False, XA_WINDOW,
                         &type, &format, &count, &after, &data) == Success &&
      data) {
    for (unsigned long i = 0; i < count; ++i) {
      char* name = nullptr;
      if (XFetchName(display, reinterpret_cast<Window*>(data)[i], &name) && name) {
        titles.emplace_back(name);
        XFree(name);
      }
    }
    XFree(data);
  }
  XCloseDisplay(display);
  return titles;
}

// The same from sway's tree.
std::vector<std::string> swayWindowTitles(const Environment& env) {
  std::vector<std::string> titles;
  std::function<void(const nlohmann::json&)> walk = [&](const nlohmann::json& node) {
    if (node.contains("app_id")) titles.push_back(node.value("name", std::string()));
    for (const char* key : {"nodes", "floating_nodes"}) {
      for (const auto& child : node.value(key, nlohmann::json::array())) walk(child);
    }
  };
  walk(nlohmann::json::parse(swaymsg(env, {"-t", "get_tree"}), nullptr, false));
  return titles;
}

struct Desktop {
  const char* name;
  bool sway;
  std::vector<std::string> (*windowTitles)(const Environment&);
  // Another client closes the dialog: Escape from xdotool; on sway a close
  // through swaymsg (a key from wtype's own virtual keyboard does not reach
  // the dialog there, with or without the helper).
  std::vector<std::string> closeDialog;
};

void PrintTo(const Desktop& desktop, std::ostream* out) {
  *out << desktop.name;
}

class ModalDialog : public ::testing::TestWithParam<Desktop> {
 protected:
  void SetUp() override {
    desktop = std::make_unique<HeadlessDesktop>(
        HeadlessDesktopOptions{.notifications = false, .sway = GetParam().sway});
  }

  bool windowOpen(const std::string& title) {
    auto titles = GetParam().windowTitles(desktop->env());
    return std::find(titles.begin(), titles.end(), title) != titles.end();
  }

  // How many documents Geany has opened, as its message log lists them, once
  // that is `expected` (what it was at the time-out otherwise), read once it
  // answers and has closed the dialog.
  std::optional<std::size_t> documents(std::optional<std::size_t> expected = std::nullopt) {
    std::optional<std::size_t> count;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while ((!count || (expected && count != expected)) &&
           std::chrono::steady_clock::now() < deadline) {
      if (count) std::this_thread::sleep_for(100ms);
      auto tree = accessibleApplication(desktop->env(), "geany", 2s);
      const AccessibleNode* frame = tree ? tree->find("frame") : nullptr;
      if (!frame || !frame->hasState("active") || tree->find("file chooser")) continue;
      const auto log = tree->namesOf("table cell");
      count = std::count_if(log.begin(), log.end(), [](const std::string& line) {
        return line.ends_with(R"(New file "untitled" opened.)");
      });
    }
    return count;
  }

  std::unique_ptr<HeadlessDesktop> desktop;
};

TEST_P(ModalDialog, NeitherTheHelperNorTheApplicationIsStalledByIt) {
  ChildProcess geany({"geany", "-c", (desktop->dir() / "geany").string()}, desktop->env());
  // On sway a window has the keyboard focus once there is a keyboard: the helper's.
  auto helper = startHelper(*desktop);
  const auto before = documents();
  ASSERT_TRUE(before) << "Geany never answered: " << geany.transcript();
  RequestSender sender(desktop->env());

  std::size_t expected = *before;
  // Escape from the helper, then a close from another client.
  for (const bool fromHelper : {true, false}) {
    SCOPED_TRACE(fromHelper ? "Escape from the helper" : "Closed by another client");
    const auto from = helper->lines().size();
    sender.send(menuCommand("File -> Save As..."));
    sender.send(marker("first"));
    sender.send(marker("second"));
    // The second marker waits for all the first does; a helper held by the
    // dialog answers after its time-out of 6 s.
    ASSERT_TRUE(helper->waitForLine(markerLine("second"), from, 3s)) << helper->transcript();
    bool opened = false;
    for (int attempt = 0; attempt < 100 && !opened; ++attempt) {
      if (attempt) std::this_thread::sleep_for(50ms);
      opened = windowOpen("Save File");
    }
    ASSERT_TRUE(opened);

    if (fromHelper) {
      sender.send(R"({"simulateKeystroke":{"code":53}})");
    } else {
      ChildProcess(GetParam().closeDialog, desktop->env()).wait();
    }
    EXPECT_EQ(documents(expected), expected) << "Geany froze or kept the dialog";

    sender.send(menuCommand("File -> New"));
    ++expected;
    EXPECT_EQ(documents(expected), expected);
  }
  expectCleanStop(*helper);
  geany.terminate();
}

INSTANTIATE_TEST_SUITE_P(
    , ModalDialog,
    ::testing::Values(
        Desktop{"X11", false, x11WindowTitles, {"xdotool", "key", "Escape"}},
        Desktop{"Sway", true, swayWindowTitles, {"swaymsg", "[title=\"^Save File$\"] kill"}}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace zorv::e2e
