// `sleep`: asking the system to sleep with a core event to the system process.

#include "helper/action_executor.h"
#include "helper/login_window.h"

namespace zorv::helper {

void ActionExecutor::sleep() {
  try {
    LoginWindow::sendCoreEvent(platform_.appleEvents, kAESleep);
  } catch (const AppleEventError& error) {
    // Not reported to the user and not retried: one line for the console.
    platform_.standardOutput.writeLine(error.localizedDescription());
  }
}

}  // namespace zorv::helper
