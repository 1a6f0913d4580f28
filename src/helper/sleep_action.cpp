// `sleep`: asking the system to sleep.
// Not carried out yet: the request is received, decoded and routed here.

#include "helper/action_executor.h"

namespace zorv::helper {

void ActionExecutor::sleep() {}

}  // namespace zorv::helper
