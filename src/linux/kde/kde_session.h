#pragma once
// A KDE Plasma session on Wayland (KWin): keystrokes through KWin's fake input
// protocol, layouts through org.kde.keyboard, activations and raising through
// a script of the helper's inside KWin, which also tells the focused window,
// its changes and so the frontmost application; menus from the accessibility
// bus, without listening to its events.

#include <memory>

#include "linux/atspi_workspace.h"
#include "linux/desktop_session.h"
#include "linux/kde/fake_input_events.h"
#include "linux/kde/kde_input_sources.h"
#include "linux/kde/kwin_script.h"
#include "linux/wayland_display.h"
#include "port/console.h"

namespace zorv::linux_desktop {

// Whether KWin's name has an owner on `sessionBus`.
bool kwinAnswers(GDBusConnection* sessionBus);

class KWinWindowRaiser : public WindowRaiser {
 public:
  explicit KWinWindowRaiser(KWinScript& script) : script_(script) {}
  bool raiseApplication(port::Pid pid, const ApplicationName&) override {
    return script_.raise(pid, std::nullopt);
  }
  bool raiseWindow(port::Pid pid, const ApplicationName&, const std::string& title) override {
    return script_.raise(pid, title);
  }

 private:
  KWinScript& script_;
};

class KdeSession : public DesktopSession {
 public:
  // Says on `log` what cannot work: keys without KWin's grant, raising and
  // activations without the script.
  KdeSession(std::unique_ptr<WaylandDisplay> display, GDBusConnection* sessionBus,
             port::Dispatch& dispatch, port::SystemLog& log);

  SessionKind kind() const override { return SessionKind::kde; }
  port::Workspace& workspace() override { return workspace_; }
  port::KeyboardEvents& keyboardEvents() override { return keyboard_; }
  port::TextInputSources& textInputSources() override { return inputSources_; }
  WindowRaiser* windowRaiser() override { return &raiser_; }
  WindowFocus* windowFocus() override { return focus_; }
  void setConnectionLostHandler(std::function<void()> handler) override {
    display_->setConnectionLostHandler(std::move(handler));
  }

 private:
  std::unique_ptr<WaylandDisplay> display_;
  KWinScript script_;
  WindowFocus* focus_;  // the script's, when KWin runs it
  FocusWorkspace workspace_;
  FakeInputEvents keyboard_;
  KdeInputSources inputSources_;
  KWinWindowRaiser raiser_;
};

}  // namespace zorv::linux_desktop
