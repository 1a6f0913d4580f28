#pragma once
// In-memory workspace: running applications a test launches, activates and quits.

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
                                                   std::optional<std::string> bundleID = {});
  // Makes the application frontmost and posts the activation notification.
  void activate(port::Pid pid);
  // Marks it terminated and removes it from the running list.
  void quit(port::Pid pid);
  // Posts an activation notification exactly as given (for malformed ones).
  void postWorkspaceNotification(const port::Notification& notification);

  // Results of open requests, chosen by the test; the completion runs on the
  // global queue.
  std::optional<port::PlatformError> openError;
  bool openURLResult = true;

  // Every open request, in order.
  struct OpenRequest {
    enum class Kind { url, urlsWithApplication, application } kind;
    std::vector<std::string> urls;
    std::string applicationURL;
    port::OpenConfiguration configuration;
  };
  std::vector<OpenRequest> openRequests;

  // port::Workspace
  port::RunningApplicationRef frontmostApplication() override;
  std::vector<port::RunningApplicationRef> runningApplications() override;
  port::RunningApplicationRef runningApplicationWithProcessIdentifier(port::Pid pid) override;
  bool openURL(const std::string& url) override;
  void openURLs(const std::vector<std::string>& urls, const std::string& applicationURL,
                const port::OpenConfiguration& configuration,
                port::OpenCompletion completion) override;
  void openApplication(const std::string& applicationURL,
                       const port::OpenConfiguration& configuration,
                       port::OpenCompletion completion) override;
  void addObserver(port::ObserverToken observer, const std::string& name,
                   std::function<void(const port::Notification&)> handler) override;
  void removeObserver(port::ObserverToken observer) override;

 private:
  struct Registration {
    port::ObserverToken observer;
    std::string name;
    std::function<void(const port::Notification&)> handler;
  };
  EventLog& log_;
  MemoryDispatch& dispatch_;
  std::vector<std::shared_ptr<MemoryRunningApplication>> running_;
  std::optional<port::Pid> frontmost_;
  std::vector<Registration> registrations_;
};

}  // namespace zorv::testing
