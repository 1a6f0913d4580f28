// `executeFile`: running an executable file in the background with a time limit.

#include "helper/action_executor.h"
#include "helper/argument_splitting.h"
#include "helper/file_runner.h"

namespace zorv::helper {

void ActionExecutor::executeFile(const HelperAction::ExecuteFile& action) {
  try {
    FileRunner(platform_, reporter_)
        .runExecutableFile(action.path, executeFileArguments(action.argumentsText), std::nullopt,
                           /*waitUntilExit=*/false, /*reportInFile=*/true);
  } catch (const support::Error& error) {
    reporter_.postUserNotification("Failed to execute file", error.localizedDescription());
  }
}

}  // namespace zorv::helper
