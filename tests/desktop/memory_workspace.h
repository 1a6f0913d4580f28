#pragma once
// In-memory workspace: running applications a test launches, activates and quits.

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/event_log.h"
#include "desktop/memory_shell.h"
#include "port/workspace.h"

namespace zorv::testing {

class MemoryRunningApplication : public port::RunningApplication {
 public:
  port::Pid pid = 0;
  std::optional<std::string> name;
  std::optional<std::string> bundleID;
  bool terminated = false;
  port::ActivationPolicy policy = port::ActivationPolicy::regular;

  port::Pid processIdentifier() const override { return pid; }
  std::optional<std::string> localizedName() const override { return name; }
  std::optional<std::string> bundleIdentifier() const override { return bundleID; }
  bool isTerminated() const override { return terminated; }
  port::ActivationPolicy activationPolicy() const override { return policy; }
};

class MemoryWorkspace : public port::Workspace {
 public:
  MemoryWorkspace(EventLog& log, MemoryDispatch& dispatch) : log_(log), dispatch_(dispatch) {}

  std::shared_ptr<MemoryRunningApplication> launch(port::Pid pid, std::optional<std::string> name,
                                                   std::optional<std::string> bundleID = {}) {
    auto app = std::make_shared<MemoryRunningApplication>();
    app->pid = pid;
    app->name = std::move(name);
    app->bundleID = std::move(bundleID);
    running_.push_back(app);
    return app;
  }
  // Makes the application frontmost and posts the activation notification.
  void activate(port::Pid pid) {
    frontmost_ = pid;
    postWorkspaceNotification(
        {port::kWorkspaceDidActivateApplicationNotification, std::nullopt,
         std::map<std::string, port::NotificationObject>{
             {port::kWorkspaceApplicationKey, runningApplicationWithProcessIdentifier(pid)}}});
  }
  // Marks it terminated and removes it from the running list.
  void quit(port::Pid pid) {
    std::erase_if(running_,
                  [&](const auto& app) { return app->pid == pid && (app->terminated = true); });
    if (frontmost_ == pid) frontmost_.reset();
  }
  // Posts an activation notification exactly as given (for malformed ones).
  void postWorkspaceNotification(const port::Notification& notification) {
    const auto registrations = registrations_;
    for (const auto& r : registrations) {
      if (r.name == notification.name) r.handler(notification);
    }
  }

  // Results of open requests, chosen by the test; the completion runs on the
  // global queue.
  std::optional<port::PlatformError> openError;
  bool openURLResult = true;

  struct OpenRequest {
    enum class Kind { url, urlsWithApplication, application } kind;
    std::vector<std::string> urls;
    std::string applicationURL;
    port::OpenConfiguration configuration;
  };
  std::vector<OpenRequest> openRequests;

  port::RunningApplicationRef frontmostApplication() override {
    return frontmost_ ? runningApplicationWithProcessIdentifier(*frontmost_) : nullptr;
  }
  std::vector<port::RunningApplicationRef> runningApplications() override {
    return {running_.begin(), running_.end()};
  }
  port::RunningApplicationRef runningApplicationWithProcessIdentifier(port::Pid pid) override {
    for (const auto& app : running_) {
      if (app->pid == pid) return app;
    }
    return nullptr;
  }
  bool openURL(const std::string& url) override {
    openRequests.push_back({OpenRequest::Kind::url, {url}, {}, {}});
    return openURLResult;
  }
  void openURLs(const std::vector<std::string>& urls, const std::string& applicationURL,
                const port::OpenConfiguration& configuration,
                port::OpenCompletion completion) override {
    open({OpenRequest::Kind::urlsWithApplication, urls, applicationURL, configuration},
         std::move(completion));
  }
  void openApplication(const std::string& applicationURL,
                       const port::OpenConfiguration& configuration,
                       port::OpenCompletion completion) override {
    open({OpenRequest::Kind::application, {}, applicationURL, configuration},
         std::move(completion));
  }
  void addObserver(port::ObserverToken observer, const std::string& name,
                   std::function<void(const port::Notification&)> handler) override {
    log_.add("workspace: addObserver name=" + name);
    registrations_.push_back({observer, name, std::move(handler)});
  }
  void removeObserver(port::ObserverToken observer) override {
    std::erase_if(registrations_, [&](const auto& r) { return r.observer == observer; });
  }

 private:
  struct Registration {
    port::ObserverToken observer;
    std::string name;
    std::function<void(const port::Notification&)> handler;
  };
  void open(OpenRequest request, port::OpenCompletion completion) {
    openRequests.push_back(std::move(request));
    dispatch_.asyncGlobal(
        [completion = std::move(completion), error = openError] { completion(nullptr, error); });
  }
  EventLog& log_;
  MemoryDispatch& dispatch_;
  std::vector<std::shared_ptr<MemoryRunningApplication>> running_;
  std::optional<port::Pid> frontmost_;
  std::vector<Registration> registrations_;
};

}  // namespace zorv::testing
