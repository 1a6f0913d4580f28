// `switchWindow`: going back to the previous application or window.

#include "helper/action_executor.h"

namespace zorv::helper {

void ActionExecutor::switchWindow() {
  windowSwitching_.performSwitchWindow();
}

}  // namespace zorv::helper
