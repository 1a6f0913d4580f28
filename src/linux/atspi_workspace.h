#pragma once
// The workspace of a Wayland session whose compositor tells the helper nothing:
// the frontmost application is the one whose frame has state ACTIVE on the
// accessibility bus, read when asked. Activations are not posted: hearing them
// would take accessibility event listening, which freezes GTK applications
// that open a modal dialog (window_focus.h). The compositor's own process,
// which may put windows of its own on the bus, never becomes frontmost.

#include <gio/gio.h>

#include <optional>
#include <vector>

#include "linux/atspi/atspi_bus.h"
#include "linux/session_workspace.h"

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

 private:
  // The process of the application with an ACTIVE frame, asked of the bus.
  std::optional<port::Pid> activePid();
  bool ignored(port::Pid pid) const;

  AtspiBus bus_;
  std::optional<port::Pid> compositorPid_;
};

}  // namespace zorv::linux_desktop
