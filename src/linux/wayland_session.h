#pragma once
// A Wayland session whose compositor offers the helper no way in: no
// keystrokes, no layout switching, no raising. Menus, the frontmost
// application, opening, running, notifications and sleep work as everywhere.

#include <memory>

#include "linux/atspi_workspace.h"
#include "linux/desktop_session.h"
#include "linux/wayland_display.h"
#include "null/null_services.h"

namespace zorv::linux_desktop {

class WaylandSession : public DesktopSession {
 public:
  WaylandSession(std::unique_ptr<WaylandDisplay> display, GDBusConnection* sessionBus,
                 port::Dispatch& dispatch)
      : display_(std::move(display)), workspace_(sessionBus, dispatch, display_->compositorPid()) {}

  SessionKind kind() const override { return SessionKind::wayland; }
  port::Workspace& workspace() override { return workspace_; }
  port::KeyboardEvents& keyboardEvents() override { return keyboard_; }
  port::TextInputSources& textInputSources() override { return inputSources_; }
  WindowRaiser* windowRaiser() override { return nullptr; }
  void setConnectionLostHandler(std::function<void()> handler) override {
    display_->setConnectionLostHandler(std::move(handler));
  }

 private:
  std::unique_ptr<WaylandDisplay> display_;
  AtspiWorkspace workspace_;
  null_platform::NullKeyboardEvents keyboard_;
  null_platform::NullTextInputSources inputSources_;
};

}  // namespace zorv::linux_desktop
