#pragma once
// An X11 session: XTest keystrokes, XKB groups as input sources, the EWMH
// window manager's active window, and its activation requests for raising.
// Without an X server every service behaves as the platform without a desktop.

#include <memory>

#include "linux/desktop_session.h"
#include "linux/x11/x11_display.h"
#include "linux/x11/x11_keyboard_events.h"
#include "linux/x11/x11_workspace.h"
#include "linux/x11/xkb_input_sources.h"

namespace zorv::linux_desktop {

class X11WindowRaiser : public WindowRaiser {
 public:
  explicit X11WindowRaiser(const X11Display& display) : display_(display) {}
  bool raiseApplication(port::Pid pid, const ApplicationName& application) override;
  bool raiseWindow(port::Pid pid, const ApplicationName& application,
                   const std::string& title) override;

 private:
  const X11Display& display_;
};

class X11Session : public DesktopSession {
 public:
  // `display` may be null: no X server.
  X11Session(std::unique_ptr<X11Display> display, port::Dispatch& dispatch);

  SessionKind kind() const override { return display_ ? SessionKind::x11 : SessionKind::none; }
  port::Workspace& workspace() override { return workspace_; }
  port::KeyboardEvents& keyboardEvents() override { return keyboard_; }
  port::TextInputSources& textInputSources() override { return inputSources_; }
  WindowRaiser* windowRaiser() override { return raiser_.get(); }
  WindowFocus* windowFocus() override { return focus_.get(); }
  void setConnectionLostHandler(std::function<void()> handler) override;

 private:
  std::unique_ptr<X11Display> display_;
  std::unique_ptr<X11WindowFocus> focus_;
  X11Workspace workspace_;
  X11KeyboardEvents keyboard_;
  XkbTextInputSources inputSources_;
  std::unique_ptr<X11WindowRaiser> raiser_;
};

}  // namespace zorv::linux_desktop
