#pragma once
// The focused window and the frontmost application on sway, from its IPC
// socket: the focused container of its tree, and the "focus" changes of its
// window events, read on a connection of the helper's own in the main loop.

#include <glib.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "linux/session_workspace.h"
#include "linux/sway/sway_ipc.h"
#include "linux/window_focus.h"

namespace zorv::linux_desktop {

// The focused window of sway's tree (get_tree); none when the focus is on a
// workspace without windows.
std::optional<FocusedWindow> swayFocusedWindow(const nlohmann::json& tree);

class SwayWindowFocus : public WindowFocus {
 public:
  // Without an answering socket nothing is focused and no change is told.
  explicit SwayWindowFocus(const SwayIpc& ipc);

  std::optional<FocusedWindow> focusedWindow() override;

 private:
  const SwayIpc& ipc_;
  SwayEvents events_;
};

// An application becomes active when a window of another process gets the
// focus and keeps it for a moment: a detour through another window (as when a
// keyboard comes or goes) is no activation. The compositor's own process and
// the helper's never become frontmost.
class SwayWorkspace : public SessionWorkspace {
 public:
  static constexpr std::chrono::milliseconds kSettleTime{120};

  SwayWorkspace(const SwayIpc& ipc, WindowFocus& focus, port::Dispatch& dispatch,
                std::optional<port::Pid> compositorPid);
  ~SwayWorkspace() override;
  SwayWorkspace(const SwayWorkspace&) = delete;
  SwayWorkspace& operator=(const SwayWorkspace&) = delete;

  port::RunningApplicationRef frontmostApplication() override;
  std::vector<port::RunningApplicationRef> runningApplications() override;
  port::RunningApplicationRef runningApplicationWithProcessIdentifier(port::Pid pid) override;

 private:
  bool ignored(port::Pid pid) const;

  const SwayIpc& ipc_;
  WindowFocus& focus_;
  std::optional<port::Pid> compositorPid_;
  std::uint64_t listener_ = 0;
  std::optional<port::Pid> pending_;  // focused last, not yet settled
  guint settleSource_ = 0;
};

}  // namespace zorv::linux_desktop
