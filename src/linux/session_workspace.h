#pragma once
// What the workspaces of every kind of session share: opening through GIO,
// the observers, and the activation rule: an application is activated when
// the focus moves to a window of another process than the last one's.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "linux/gio_opener.h"
#include "port/dispatch.h"
#include "port/workspace.h"

namespace zorv::linux_desktop {

class SessionWorkspace : public port::Workspace {
 public:
  explicit SessionWorkspace(port::Dispatch& dispatch) : opener_(dispatch) {}

  bool openURL(const std::string& url) override { return opener_.openURL(url); }
  void openURLs(const std::vector<std::string>& urls, const std::string& applicationURL,
                const port::OpenConfiguration& configuration,
                port::OpenCompletion completion) override {
    opener_.openURLs(urls, applicationURL, configuration, std::move(completion));
  }
  void openApplication(const std::string& applicationURL,
                       const port::OpenConfiguration& configuration,
                       port::OpenCompletion completion) override {
    opener_.openApplication(applicationURL, configuration, std::move(completion));
  }

  void addObserver(port::ObserverToken observer, const std::string& name,
                   std::function<void(const port::Notification&)> handler) override {
    registrations_.push_back({observer, name, std::move(handler)});
  }
  void removeObserver(port::ObserverToken observer) override {
    std::erase_if(registrations_, [&](const Registration& r) { return r.observer == observer; });
  }

 protected:
  // Posts the activation of the application of `pid` unless it is the one
  // activated last; a process that ended meanwhile is none.
  void activated(port::Pid pid);
  std::optional<port::Pid> lastActivePid_;

 private:
  GioOpener opener_;
  struct Registration {
    port::ObserverToken observer;
    std::string name;
    std::function<void(const port::Notification&)> handler;
  };
  std::vector<Registration> registrations_;
};

}  // namespace zorv::linux_desktop
