// `executeFile`: running an executable file with a time limit.
// Not carried out yet: the request is received, decoded and routed here.

#include "helper/action_executor.h"

namespace zorv::helper {

void ActionExecutor::executeFile(const HelperAction::ExecuteFile&) {}

}  // namespace zorv::helper
