// `openURL` and `launchApp`: handing URLs and applications to the workspace.
// Both return at once; a failure arrives later in the workspace's completion,
// on a queue of its choosing, and becomes a notification.

#include "helper/action_executor.h"
#include "helper/argument_splitting.h"
#include "helper/file_urls.h"

namespace zorv::helper {
namespace {

port::OpenConfiguration openConfiguration() {
  port::OpenConfiguration configuration;
  configuration.allowsRunningApplicationSubstitution = false;
  return configuration;
}

// The completion holds its own copy of the reporter: it may run after the
// action, on another thread.
port::OpenCompletion reportFailureAs(const Reporter& reporter, std::string title) {
  return [reporter, title = std::move(title)](port::RunningApplicationRef,
                                              std::optional<port::PlatformError> error) {
    if (error) reporter.postUserNotification(title, error->localizedDescription);
  };
}

}  // namespace

void ActionExecutor::openURL(const HelperAction::OpenURL& action) {
  auto& workspace = platform_.workspace;
  if (!action.applicationPath) {
    // Whether a handler was found is deliberately not looked at.
    workspace.openURL(action.url.absoluteString());
    return;
  }
  workspace.openURLs({action.url.absoluteString()},
                     fileURLWithPath(platform_.files, *action.applicationPath), openConfiguration(),
                     reportFailureAs(reporter_, "Failed to open url with application"));
}

void ActionExecutor::launchApp(const HelperAction::LaunchApp& action) {
  auto configuration = openConfiguration();
  configuration.arguments = launchArguments(action.launchArgumentsText);
  platform_.workspace.openApplication(fileURLWithPath(platform_.files, action.path, false),
                                      configuration,
                                      reportFailureAs(reporter_, "Failed to open application"));
}

}  // namespace zorv::helper
