#include "helper/window_switching.h"

#include "ax/role.h"

namespace zorv::helper {

void WindowSwitching::recordActivation(const port::RunningApplicationRef& application) {
  auto element = ax::Application::fromRunningApplication(platform_, application);
  if (!element) {
    platform_.standardOutput.writeLine("");
    return;
  }
  ax::UIElementPtr mainWindow;
  try {
    mainWindow = element->attribute<ax::UIElementPtr>("AXMainWindow").value_or(nullptr);
  } catch (const support::Error&) {
    // No window to remember.
  }
  State next;
  next.activePid = application->processIdentifier();
  next.activeWindow = std::move(mainWindow);
  if (state_.activePid)
    next.previous = support::Either<port::Pid, ax::UIElementPtr>::left(*state_.activePid);
  state_ = std::move(next);
  observeMainWindow(application->processIdentifier());
}

void WindowSwitching::observeMainWindow(port::Pid pid) {
  auto application = ax::Application::fromPid(platform_, pid);
  if (!application) {
    platform_.standardOutput.writeLine("");
    return;
  }
  observer_ = application->createObserver([this](ax::Observer& observer, ax::UIElementPtr element,
                                                 ax::AXNotification notification,
                                                 const std::optional<port::Dictionary>& info) {
    recordMainWindow(observer, element, notification, info);
  });
  if (!observer_) return;
  try {
    observer_->addNotification(ax::AXNotification::mainWindowChanged, *application);
  } catch (const ax::AXError& error) {
    platform_.standardOutput.writeLine(error.localizedDescription());
  }
}

void WindowSwitching::recordMainWindow(ax::Observer&, const ax::UIElementPtr& element,
                                       ax::AXNotification, const std::optional<port::Dictionary>&) {
  try {
    auto role = element->attribute<std::string>(ax::Attribute::role);
    if (!role || ax::roleFromRawValue(*role) != ax::Role::window) return;
    // An untitled window is not taken for a main window.
    if (!element->attribute<std::string>(ax::Attribute::title)) return;
  } catch (const support::Error&) {
    return;
  }
  state_.previous.reset();
  if (state_.activeWindow) {
    state_.previous = support::Either<port::Pid, ax::UIElementPtr>::right(state_.activeWindow);
  }
  state_.activeWindow = element;
}

void WindowSwitching::performSwitchWindow() {
  if (!state_.previous) return;
  try {
    if (const auto* pid = state_.previous->leftValue()) {
      auto application = ax::Application::fromPid(platform_, *pid);
      if (!application) {
        platform_.standardOutput.writeLine("");
        return;
      }
      application->setAttribute("AXFrontmost", ax::AXValue{true});
    } else if (const auto* window = state_.previous->rightValue()) {
      (*window)->setAttribute(ax::Attribute::main, ax::AXValue{true});
    }
  } catch (const support::Error& error) {
    platform_.standardOutput.writeLine(error.localizedDescription());
  }
}

}  // namespace zorv::helper
