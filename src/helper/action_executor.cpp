#include "helper/action_executor.h"

#include <exception>
#include <variant>

#include "support/overloaded.h"

namespace zorv::helper {

using support::Overloaded;

void ActionExecutor::executeHelperAction(const HelperAction& action) {
  platform_.standardOutput.writeLine("in helper");
  try {
    route(action);
  } catch (const std::exception& error) {
    // Handlers report their own failures; whatever still arrives here must not
    // stop the requests queued after this one.
    platform_.standardOutput.writeLine(error.what());
  }
}

void ActionExecutor::route(const HelperAction& action) {
  std::visit(Overloaded{
                 [&](const HelperAction::Menu& a) { menu(a.menuItems); },
                 [&](const HelperAction::MenuCommand& a) { menuCommand(a.info); },
                 [&](const HelperAction::OpenURL& a) { openURL(a); },
                 [&](const HelperAction::LaunchApp& a) { launchApp(a); },
                 [&](const HelperAction::SwitchWindow&) { switchWindow(); },
                 [&](const HelperAction::ExecuteFile& a) { executeFile(a); },
                 [&](const HelperAction::Sleep&) { sleep(); },
                 [&](const HelperAction::SimulateKeystroke& a) { simulateKeystroke(a); },
                 [&](const HelperAction::SwitchInputMethod& a) { switchInputMethod(a); },
             },
             action.kind);
}

bool ActionExecutor::checkPermission() {
  // Only the start-up check asks the user; this one reads the state.
  if (platform_.accessibility.isProcessTrustedWithOptions(false)) return true;
  platform_.systemLog.log("No accessibility API permission, exiting");
  platform_.application.terminate();
  return false;
}

const port::ElementRef& ActionExecutor::systemWide() {
  std::call_once(systemWideOnce_,
                 [this] { systemWide_ = platform_.accessibility.createSystemWide(); });
  return systemWide_;
}

}  // namespace zorv::helper
