#pragma once
// The application delegate: the only ways work enters the process. It checks the
// permission at launch, listens for action requests and application activations,
// and queues each request for the action executor.

#include "helper/action_executor.h"
#include "helper/reporters.h"
#include "helper/window_switching.h"
#include "port/platform.h"

namespace zorv::helper {

class AppDelegate : public port::ApplicationDelegate {
 public:
  explicit AppDelegate(port::Platform& platform);
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // "applicationDidFinishLaunching:"
  void applicationDidFinishLaunching() override;
  // "applicationWillTerminate:"
  void applicationWillTerminate() override;
  // "helperActionNotificationReceived:"
  void helperActionNotificationReceived(const port::Notification& notification);
  // "appActivated:"
  void appActivated(const port::Notification& notification);

  // Feeds the window-switching history with the application that became active.
  void recordActivation(const port::RunningApplicationRef& application);
  const WindowSwitching::State& windowSwitchingState() const { return windowSwitching_.state(); }

 private:
  port::Platform& platform_;
  Reporter reporter_;
  WindowSwitching windowSwitching_;
  ActionExecutor executor_;
};

// The platform's kind of textual rendering of a notification, for diagnostics.
std::string debugDescription(const port::Notification& notification);

}  // namespace zorv::helper
