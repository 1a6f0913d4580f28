#pragma once
// The cases every Wayland desktop runs with the real helper: menus, typing,
// an accelerator and layouts; switchWindow going back and forth. A desktop's
// suite says how the test itself (apart from the helper's code) focuses a
// window and reads which one is focused.

#include <gmock/gmock.h>

#include <thread>

#include "e2e_session.h"

namespace zorv::e2e {

// Has no effect and prints only "in helper": no source has that identifier.
inline constexpr const char* kProbe = R"({"switchInputMethod":{"inputSourceID":"zorv-probe"}})";

template <HeadlessDesktopOptions options>
class WaylandCases : public DesktopSuite<options> {
 protected:
  using DesktopSuite<options>::desktop;
  // Focuses the window of `app` titled `title`.
  virtual void focus(const ChildProcess& app, const std::string& title) = 0;
  virtual std::string focusedTitle() = 0;

  bool waitForFocus(const std::string& title) {
    for (int attempt = 0; attempt < 200 && focusedTitle() != title; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return focusedTitle() == title;
  }
  void send(ChildProcess& helper, const std::string& json) {
    const auto from = helper.lines().size();
    emitRequest(desktop->env(), json);
    emitRequest(desktop->env(), marker("sent"));
    ASSERT_TRUE(helper.waitForLine(markerLine("sent"), from)) << helper.transcript();
  }
  std::string entryText(const std::string& app, const std::string& expected) {
    return textFieldContents(desktop->env(), app, expected);
  }
  static std::string keystroke(int code) {
    return R"({"simulateKeystroke":{"code":)" + std::to_string(code) + "}}";
  }

  // A 3-level menu path, typing, an accelerator, and the German layout: the
  // key at the US "y" position types "z" there, also on the second press.
  void menusKeystrokesAndLayouts() {
    auto app = startApp(*desktop, "Typing");
    auto helper = startHelper(*desktop, kProbe);
    const std::vector<std::pair<std::string, std::string>> steps = {
        {menuCommand("File -> Export -> PDF"), ""},
        {keystroke(4), ""},
        {keystroke(34), "hi"},
        {keystroke(0x1000 + 1), ""},  // Ctrl+S: File -> Save
        {R"({"switchInputMethod":{"inputSourceID":"de"}})", ""},
        {keystroke(16), ""},
        {keystroke(16), "hizz"},
        {R"({"switchInputMethod":{"inputSourceID":"us"}})", ""},
        {keystroke(16), "hizzy"},
    };
    for (const auto& [request, text] : steps) {
      send(*helper, request);
      if (!text.empty()) {
        EXPECT_EQ(entryText("Typing", text), text) << request;
      }
    }
    for (const char* path : {"File -> Export -> PDF", "File -> Save"}) {
      EXPECT_TRUE(app->waitForLine(std::string("activated: ") + path)) << app->transcript();
    }
    expectCleanStop(*helper);
  }

  // Two applications, then two windows of one: switchWindow goes back to
  // where the user was, and again.
  void switchWindowGoesBackAndForth() {
    auto alpha = startApp(*desktop, "Alpha");
    auto beta = startApp(*desktop, "Beta", {"--windows", "2"});
    auto helper = startHelper(*desktop, kProbe);
    for (const auto& [first, second] : {std::pair{"Alpha", "Beta 1"}, {"Beta 1", "Beta 2"}}) {
      for (const char* title : {first, second}) {
        focus(title[0] == 'A' ? *alpha : *beta, title);
        ASSERT_TRUE(waitForFocus(title)) << focusedTitle();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
      }
      for (const char* title : {first, second}) {
        emitRequest(desktop->env(), R"({"switchWindow":{}})");
        EXPECT_TRUE(waitForFocus(title)) << focusedTitle() << helper->transcript();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
      }
    }
    expectCleanStop(*helper);
  }
};

}  // namespace zorv::e2e
