#pragma once
// The workspace: running applications, their activation, and opening URLs and
// applications.
// Threads: every call on the main thread, except openURL(), which the file
// runner's worker also makes; the completions of openURLs() and
// openApplication() run on a worker thread; observers are called on the main
// thread.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "port/distributed_notifications.h"
#include "port/notification.h"
#include "port/running_application.h"

namespace zorv::port {

// An error object as the platform reports it.
struct PlatformError {
  std::string domain;
  std::int64_t code = 0;
  std::string localizedDescription;
};

struct OpenConfiguration {
  bool allowsRunningApplicationSubstitution = true;
  std::vector<std::string> arguments;
};

// Called once, on a queue of the platform's choosing.
using OpenCompletion =
    std::function<void(RunningApplicationRef application, std::optional<PlatformError> error)>;

class Workspace {
 public:
  virtual ~Workspace() = default;

  virtual RunningApplicationRef frontmostApplication() = 0;
  virtual std::vector<RunningApplicationRef> runningApplications() = 0;
  virtual RunningApplicationRef runningApplicationWithProcessIdentifier(Pid pid) = 0;

  // URLs are texts in URL syntax; file URLs are made with the helpers of the caller.
  virtual bool openURL(const std::string& url) = 0;
  virtual void openURLs(const std::vector<std::string>& urls, const std::string& applicationURL,
                        const OpenConfiguration& configuration, OpenCompletion completion) = 0;
  virtual void openApplication(const std::string& applicationURL,
                               const OpenConfiguration& configuration,
                               OpenCompletion completion) = 0;

  // The workspace's own notification centre; delivers on the main thread.
  virtual void addObserver(ObserverToken observer, const std::string& name,
                           std::function<void(const Notification&)> handler) = 0;
  virtual void removeObserver(ObserverToken observer) = 0;
};

}  // namespace zorv::port
