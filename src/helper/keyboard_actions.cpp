// `simulateKeystroke` and `switchInputMethod`.
// Not carried out yet: the request is received, decoded and routed here.

#include "helper/action_executor.h"

namespace zorv::helper {

void ActionExecutor::simulateKeystroke(const HelperAction::SimulateKeystroke&) {}
void ActionExecutor::switchInputMethod(const HelperAction::SwitchInputMethod&) {}

}  // namespace zorv::helper
