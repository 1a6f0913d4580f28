#include "desktop/memory_workspace.h"

#include <algorithm>

namespace zorv::testing {
std::shared_ptr<MemoryRunningApplication> MemoryWorkspace::launch(
    port::Pid pid, std::optional<std::string> name, std::optional<std::string> bundleID) {
  auto app = std::make_shared<MemoryRunningApplication>();
  app->pid = pid;
  app->name = std::move(name);
  app->bundleID = std::move(bundleID);
  running_.push_back(app);
  return app;
}

void MemoryWorkspace::activate(port::Pid pid) {
  frontmost_ = pid;
  auto app = runningApplicationWithProcessIdentifier(pid);
  port::Notification notification{
      port::kWorkspaceDidActivateApplicationNotification, std::nullopt,
      std::map<std::string, port::NotificationObject>{{port::kWorkspaceApplicationKey, app}}};
  postWorkspaceNotification(notification);
}

void MemoryWorkspace::quit(port::Pid pid) {
  for (auto& app : running_) {
    if (app->pid == pid) app->terminated = true;
  }
  std::erase_if(running_, [&](const auto& app) { return app->pid == pid; });
  if (frontmost_ == pid) frontmost_.reset();
}

void MemoryWorkspace::postWorkspaceNotification(const port::Notification& notification) {
  const auto registrations = registrations_;
  for (const auto& r : registrations) {
    if (r.name == notification.name) r.handler(notification);
  }
}

port::RunningApplicationRef MemoryWorkspace::frontmostApplication() {
  return frontmost_ ? runningApplicationWithProcessIdentifier(*frontmost_) : nullptr;
}

std::vector<port::RunningApplicationRef> MemoryWorkspace::runningApplications() {
  return {running_.begin(), running_.end()};
}

port::RunningApplicationRef MemoryWorkspace::runningApplicationWithProcessIdentifier(
    port::Pid pid) {
  for (const auto& app : running_) {
    if (app->pid == pid) return app;
  }
  return nullptr;
}

bool MemoryWorkspace::openURL(const std::string& url) {
  openRequests.push_back({OpenRequest::Kind::url, {url}, {}, {}});
  return openURLResult;
}

void MemoryWorkspace::openURLs(const std::vector<std::string>& urls,
                               const std::string& applicationURL,
                               const port::OpenConfiguration& configuration,
                               port::OpenCompletion completion) {
  openRequests.push_back(
      {OpenRequest::Kind::urlsWithApplication, urls, applicationURL, configuration});
  dispatch_.asyncGlobal(
      [completion = std::move(completion), error = openError] { completion(nullptr, error); });
}

void MemoryWorkspace::openApplication(const std::string& applicationURL,
                                      const port::OpenConfiguration& configuration,
                                      port::OpenCompletion completion) {
  openRequests.push_back({OpenRequest::Kind::application, {}, applicationURL, configuration});
  dispatch_.asyncGlobal(
      [completion = std::move(completion), error = openError] { completion(nullptr, error); });
}

void MemoryWorkspace::addObserver(port::ObserverToken observer, const std::string& name,
                                  std::function<void(const port::Notification&)> handler) {
  log_.add("workspace: addObserver name=" + name);
  registrations_.push_back({observer, name, std::move(handler)});
}

void MemoryWorkspace::removeObserver(port::ObserverToken observer) {
  std::erase_if(registrations_, [&](const Registration& r) { return r.observer == observer; });
}

}  // namespace zorv::testing
