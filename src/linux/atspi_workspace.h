#pragma once
// The workspace of a Wayland session whose compositor tells the helper nothing:
// the frontmost application is the one whose frame has state ACTIVE on the
// accessibility bus, read when asked. Activations are not posted: hearing them
// would take accessibility event listening, which freezes GTK applications
// that open a modal dialog (window_focus.h). The compositor's own process,
// which may put windows of its own on the bus, never becomes frontmost.

#include <gio/gio.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "linux/atspi/atspi_bus.h"
#include "linux/session_workspace.h"
#include "linux/window_focus.h"

namespace zorv::linux_desktop {

class AtspiWorkspace : public SessionWorkspace {
 public:
  // `sessionBus` may be null (no accessibility bus: nothing is ever frontmost).
  AtspiWorkspace(GDBusConnection* sessionBus, port::Dispatch& dispatch,
                 std::optional<port::Pid> compositorPid)
      : SessionWorkspace(dispatch), bus_(sessionBus), compositorPid_(compositorPid) {}

  port::RunningApplicationRef frontmostApplication() override;
  std::vector<port::RunningApplicationRef> runningApplications() override;
  port::RunningApplicationRef runningApplicationWithProcessIdentifier(port::Pid pid) override;

 protected:
  bool ignored(port::Pid pid) const;

 private:
  // The process of the application with an ACTIVE frame, asked of the bus.
  std::optional<port::Pid> activePid();

  AtspiBus bus_;
  std::optional<port::Pid> compositorPid_;
};

// The workspace of a Wayland compositor that tells the focused window
// (GNOME's shell through the helper's extension, KWin through the helper's
// script) but lists no windows: the frontmost application is the focused
// window's, an activation is a focus moving to another process, and the
// running applications are those on the accessibility bus. Without `focus`
// (the extension or the script is not running) it is an AtspiWorkspace.
class FocusWorkspace : public AtspiWorkspace {
 public:
  FocusWorkspace(GDBusConnection* sessionBus, port::Dispatch& dispatch,
                 std::optional<port::Pid> compositorPid, WindowFocus* focus);
  ~FocusWorkspace() override;
  FocusWorkspace(const FocusWorkspace&) = delete;
  FocusWorkspace& operator=(const FocusWorkspace&) = delete;

  port::RunningApplicationRef frontmostApplication() override;

 private:
  WindowFocus* focus_;
  std::uint64_t listener_ = 0;
};

}  // namespace zorv::linux_desktop
