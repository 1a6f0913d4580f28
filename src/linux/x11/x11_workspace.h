#pragma once
// The workspace on an X11 desktop with an EWMH window manager: the frontmost
// application owns the active window (_NET_ACTIVE_WINDOW, _NET_WM_PID), and an
// application becomes active when the active window changes to another process.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "linux/gio_opener.h"
#include "linux/x11/x11_display.h"
#include "port/dispatch.h"
#include "port/workspace.h"

namespace zorv::linux_desktop {

class X11Workspace : public port::Workspace {
 public:
  // `display` may be null (no X server): no application is then frontmost or
  // running, and no activation is ever posted.
  X11Workspace(X11Display* display, port::Dispatch& dispatch);

  port::RunningApplicationRef frontmostApplication() override;
  std::vector<port::RunningApplicationRef> runningApplications() override;
  port::RunningApplicationRef runningApplicationWithProcessIdentifier(port::Pid pid) override;

  bool openURL(const std::string& url) override;
  void openURLs(const std::vector<std::string>& urls, const std::string& applicationURL,
                const port::OpenConfiguration& configuration,
                port::OpenCompletion completion) override;
  void openApplication(const std::string& applicationURL,
                       const port::OpenConfiguration& configuration,
                       port::OpenCompletion completion) override;

  void addObserver(port::ObserverToken observer, const std::string& name,
                   std::function<void(const port::Notification&)> handler) override;
  void removeObserver(port::ObserverToken observer) override;

 private:
  std::optional<port::Pid> activePid();
  void onEvent(const XEvent& event);
  port::RunningApplicationRef application(port::Pid pid, std::optional<Window> window);

  X11Display* display_;
  port::Dispatch& dispatch_;
  GioOpener opener_;
  std::optional<port::Pid> lastActivePid_;
  struct Registration {
    port::ObserverToken observer;
    std::string name;
    std::function<void(const port::Notification&)> handler;
  };
  std::vector<Registration> registrations_;
};

}  // namespace zorv::linux_desktop
