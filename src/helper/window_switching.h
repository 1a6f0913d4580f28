#pragma once
// The one-step history behind `switchWindow`: which application was activated
// last, its main window, and where going back leads — to the previously active
// application, or to the previous main window of the current one, whichever
// changed last.

#include <memory>
#include <optional>

#include "ax/observer.h"
#include "ax/ui_element.h"
#include "port/platform.h"
#include "support/either.h"

namespace zorv::helper {

class WindowSwitching {
 public:
  explicit WindowSwitching(port::Platform& platform) : platform_(platform) {}

  void recordActivation(const port::RunningApplicationRef& application);
  void performSwitchWindow();

  struct State {
    std::optional<port::Pid> activePid;
    ax::UIElementPtr activeWindow;
    std::optional<support::Either<port::Pid, ax::UIElementPtr>> previous;
  };
  const State& state() const { return state_; }

 private:
  void observeMainWindow(port::Pid pid);
  void recordMainWindow(ax::Observer& observer, const ax::UIElementPtr& element,
                        ax::AXNotification notification,
                        const std::optional<port::Dictionary>& info);

  port::Platform& platform_;
  State state_;
  // Watches the active application's main window; replaced on every activation.
  std::unique_ptr<ax::Observer> observer_;
};

}  // namespace zorv::helper
