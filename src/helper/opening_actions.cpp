// `openURL` and `launchApp`: handing URLs and applications to the workspace.
// Not carried out yet: the request is received, decoded and routed here.

#include "helper/action_executor.h"

namespace zorv::helper {

void ActionExecutor::openURL(const HelperAction::OpenURL&) {}
void ActionExecutor::launchApp(const HelperAction::LaunchApp&) {}

}  // namespace zorv::helper
