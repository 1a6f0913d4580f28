// `switchWindow`: going back to the previous application or window.
// Not carried out yet: the request is received, decoded and routed here.

#include "helper/action_executor.h"

namespace zorv::helper {

void ActionExecutor::switchWindow() {}

}  // namespace zorv::helper
