#pragma once
// A sway session: keystrokes through one virtual keyboard; layouts, raising,
// the focused window and the frontmost application through sway's IPC socket.

#include <memory>

#include "linux/desktop_session.h"
#include "linux/sway/foreign_toplevels.h"
#include "linux/sway/sway_input_sources.h"
#include "linux/sway/sway_ipc.h"
#include "linux/sway/sway_workspace.h"
#include "linux/sway/virtual_keyboard_events.h"
#include "linux/wayland_display.h"

namespace zorv::linux_desktop {

// The window to focus in sway's tree (get_tree): of process `pid`, the one
// focused most recently, or the one titled `title`; its container id.
std::optional<std::int64_t> swayWindowOf(const nlohmann::json& tree, port::Pid pid,
                                         const std::optional<std::string>& title = std::nullopt);

// By process through sway's IPC socket; where sway has no window of that
// process, by application id through the toplevel management protocol.
class SwayWindowRaiser : public WindowRaiser {
 public:
  SwayWindowRaiser(const SwayIpc& ipc, ForeignToplevels& toplevels)
      : ipc_(ipc), toplevels_(toplevels) {}
  bool raiseApplication(port::Pid pid, const ApplicationName& application) override;
  bool raiseWindow(port::Pid pid, const ApplicationName& application,
                   const std::string& title) override;

 private:
  bool focus(port::Pid pid, const ApplicationName& application,
             const std::optional<std::string>& title);
  const SwayIpc& ipc_;
  ForeignToplevels& toplevels_;
};

class SwaySession : public DesktopSession {
 public:
  SwaySession(std::unique_ptr<WaylandDisplay> display, std::string swaySocket,
              port::Dispatch& dispatch);

  SessionKind kind() const override { return SessionKind::sway; }
  port::Workspace& workspace() override { return workspace_; }
  port::KeyboardEvents& keyboardEvents() override { return keyboard_; }
  port::TextInputSources& textInputSources() override { return inputSources_; }
  WindowRaiser* windowRaiser() override { return &raiser_; }
  WindowFocus* windowFocus() override { return &focus_; }
  void setConnectionLostHandler(std::function<void()> handler) override {
    display_->setConnectionLostHandler(std::move(handler));
  }

 private:
  std::unique_ptr<WaylandDisplay> display_;
  SwayIpc ipc_;
  SwayWindowFocus focus_;
  SwayWorkspace workspace_;
  SwayInputSources inputSources_;
  VirtualKeyboardEvents keyboard_;
  ForeignToplevels toplevels_;
  SwayWindowRaiser raiser_;
};

}  // namespace zorv::linux_desktop
