#include "helper/app_delegate.h"

#include <utility>
#include <variant>

#include "helper/action_request.h"

namespace zorv::helper {
namespace {

std::string describe(const port::NotificationObject& object) {
  struct Describe {
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(const port::RunningApplicationRef& app) const {
      if (!app) return "(null)";
      return "<RunningApplication pid=" + std::to_string(app->processIdentifier()) + " " +
             app->localizedName().value_or("") + ">";
    }
    std::string operator()(const port::OpaqueObject& o) const { return o.description; }
  };
  return std::visit(Describe{}, object);
}

}  // namespace

std::string debugDescription(const port::Notification& notification) {
  std::string text = "Notification {name = " + notification.name;
  text += "; object = " + (notification.object ? describe(*notification.object) : "(null)");
  text += "; userInfo = ";
  if (!notification.userInfo) {
    text += "(null)";
  } else {
    text += "{";
    for (const auto& [key, value] : *notification.userInfo) {
      text += key + " = " + describe(value) + "; ";
    }
    text += "}";
  }
  return text + "}";
}

AppDelegate::AppDelegate(port::Platform& platform)
    : platform_(platform),
      reporter_(platform),
      windowSwitching_(platform),
      executor_(platform, reporter_, windowSwitching_) {}

void AppDelegate::applicationDidFinishLaunching() {
  // With the prompt option the platform asks the user itself; the answer is the
  // state right now, so an untrusted helper must be started again once granted.
  if (!platform_.accessibility.isProcessTrustedWithOptions(true)) {
    platform_.systemLog.log("No accessibility API permission, exiting");
    platform_.application.terminate();
    return;
  }

  if (auto frontmost = platform_.workspace.frontmostApplication()) recordActivation(frontmost);

  platform_.distributedNotifications.addObserver(
      this, helperActionEvent(), port::SuspensionBehavior::deliverImmediately,
      [this](const port::Notification& n) { helperActionNotificationReceived(n); });
  platform_.workspace.addObserver(this, port::kWorkspaceDidActivateApplicationNotification,
                                  [this](const port::Notification& n) { appActivated(n); });
}

void AppDelegate::applicationWillTerminate() {
  platform_.distributedNotifications.removeObserver(this);
}

void AppDelegate::helperActionNotificationReceived(const port::Notification& notification) {
  auto action = decodeHelperAction(notification, platform_.standardOutput);
  if (!action) {
    platform_.standardOutput.writeLine("");
    reporter_.showAlert("Unrecognized action", "You may need to upgrade the helper.");
    return;
  }
  // The work item owns its own copy; actions run one at a time, in arrival order.
  platform_.dispatch.asyncMain(
      [this, action = std::move(*action)] { executor_.executeHelperAction(action); });
}

void AppDelegate::appActivated(const port::Notification& notification) {
  if (!notification.userInfo) {
    platform_.standardOutput.writeLine("unexpectedly found nil while accessing userInfo of " +
                                       debugDescription(notification));
    return;
  }
  const auto entry = notification.userInfo->find(port::kWorkspaceApplicationKey);
  const port::RunningApplicationRef* application =
      entry == notification.userInfo->end()
          ? nullptr
          : std::get_if<port::RunningApplicationRef>(&entry->second);
  if (!application || !*application) {
    platform_.standardOutput.writeLine("failed to access running application from userInfo of " +
                                       debugDescription(notification));
    return;
  }
  recordActivation(*application);
}

void AppDelegate::recordActivation(const port::RunningApplicationRef& application) {
  windowSwitching_.recordActivation(application);
}

}  // namespace zorv::helper
