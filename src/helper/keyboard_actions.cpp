// `simulateKeystroke` and `switchInputMethod`.

#include "helper/action_executor.h"

namespace zorv::helper {

void ActionExecutor::simulateKeystroke(const HelperAction::SimulateKeystroke& action) {
  const auto keystroke = decodeKeystroke(action.code);
  // A press that could not be made is not followed by its release.
  if (!keystrokes_.simulateKeyDown(keystroke.keyCode, keystroke.modifiers)) return;
  keystrokes_.simulateKeyUp(keystroke.keyCode, keystroke.modifiers);
}

void ActionExecutor::switchInputMethod(const HelperAction::SwitchInputMethod& action) {
  inputSourceManager_.switchInputMethod(action.inputSourceID);
}

}  // namespace zorv::helper
