#pragma once
// The in-memory desktop: every platform service of the port, recorded in one
// event log, with state that tests set directly. Nothing runs on its own: the
// test drains the queues.

#include "desktop/event_log.h"
#include "desktop/memory_accessibility.h"
#include "desktop/memory_input.h"
#include "desktop/memory_shell.h"
#include "desktop/memory_system.h"
#include "desktop/memory_workspace.h"
#include "port/platform.h"

namespace zorv::testing {

class MemoryDesktop {
 public:
  MemoryDesktop() = default;
  MemoryDesktop(const MemoryDesktop&) = delete;
  MemoryDesktop& operator=(const MemoryDesktop&) = delete;

  EventLog log;
  MemoryDispatch dispatch;
  MemoryApplication application{log};
  MemoryConsole console{log};
  MemoryAccessibility accessibility{log};
  MemoryWorkspace workspace{log, dispatch};
  MemoryDistributedCenter distributed{log};
  MemoryUserNotifications userNotifications{dispatch};
  MemoryAlerts alerts;
  MemoryKeyboardEvents keyboard{log};
  MemoryTextInputSources inputSources{log};
  MemoryAppleEvents appleEvents{log};
  MemoryTasks tasks{log};
  MemoryFiles files;

  port::Platform& platform() { return platform_; }

  // Runs queued work until nothing is left anywhere (delayed work excepted).
  void settle() {
    while (dispatch.drainMain() + dispatch.drainGlobal() > 0) {
    }
  }

 private:
  port::Platform platform_{
      application,       dispatch, console,  console,      accessibility, workspace, distributed,
      userNotifications, alerts,   keyboard, inputSources, appleEvents,   tasks,     files};
};

}  // namespace zorv::testing
