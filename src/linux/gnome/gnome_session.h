#pragma once
// A GNOME session on Wayland (mutter / gnome-shell): keystrokes through
// mutter's remote desktop service; input sources and raising through the
// helper's shell extension when it runs, and so are the focused window, its
// changes and the frontmost application; without it the frontmost application
// is the one with an ACTIVE window on the accessibility bus, read when asked.

#include <memory>

#include "linux/atspi_workspace.h"
#include "linux/desktop_session.h"
#include "linux/gnome/gnome_input_sources.h"
#include "linux/gnome/gnome_shell_extension.h"
#include "linux/gnome/mutter_keyboard_events.h"
#include "linux/wayland_display.h"

namespace zorv::linux_desktop {

// By process (and title) through the shell extension; false without it.
class GnomeWindowRaiser : public WindowRaiser {
 public:
  explicit GnomeWindowRaiser(const GnomeShellExtension& extension) : extension_(extension) {}
  bool raiseApplication(port::Pid pid, const ApplicationName&) override {
    return extension_.activateApplication(pid);
  }
  bool raiseWindow(port::Pid pid, const ApplicationName&, const std::string& title) override {
    return extension_.activateWindow(pid, title);
  }

 private:
  const GnomeShellExtension& extension_;
};

class GnomeSession : public DesktopSession {
 public:
  // Says on `log` when the shell extension is not running.
  GnomeSession(std::unique_ptr<WaylandDisplay> display, GDBusConnection* sessionBus,
               port::Dispatch& dispatch, port::SystemLog& log);

  SessionKind kind() const override { return SessionKind::gnome; }
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
  GnomeShellExtension extension_;
  WindowFocus* focus_;  // the extension's, when it runs at start-up
  FocusWorkspace workspace_;
  MutterKeyboardEvents keyboard_;
  GnomeInputSources inputSources_;
  GnomeWindowRaiser raiser_;
};

}  // namespace zorv::linux_desktop
