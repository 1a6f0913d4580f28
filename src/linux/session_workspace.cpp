#include "linux/session_workspace.h"

#include <map>

namespace zorv::linux_desktop {

void SessionWorkspace::activated(port::Pid pid) {
  if (pid == lastActivePid_) return;
  lastActivePid_ = pid;
  auto app = runningApplicationWithProcessIdentifier(pid);
  if (!app) return;
  port::Notification notification{
      port::kWorkspaceDidActivateApplicationNotification, std::nullopt,
      std::map<std::string, port::NotificationObject>{{port::kWorkspaceApplicationKey, app}}};
  const auto registrations = registrations_;
  for (const auto& r : registrations) {
    if (r.name == notification.name) r.handler(notification);
  }
}

}  // namespace zorv::linux_desktop
