#include "linux/x11/x11_workspace.h"

#include <X11/Xutil.h>

#include <set>

#include "linux/process_application.h"

namespace zorv::linux_desktop {

X11Workspace::X11Workspace(X11Display* display, X11WindowFocus* focus, port::Dispatch& dispatch)
    : SessionWorkspace(dispatch), display_(display), focus_(focus) {
  if (!focus_) return;
  // The window manager reports the same window more than once and passes
  // through "no window" between two; only a change of process is an activation.
  listener_ = focus_->addListener([this](const FocusedWindow& window) { activated(window.pid); });
  if (auto window = focus_->focusedWindow()) lastActivePid_ = window->pid;
}

X11Workspace::~X11Workspace() {
  if (focus_) focus_->removeListener(listener_);
}

port::RunningApplicationRef X11Workspace::application(port::Pid pid, std::optional<Window> window) {
  if (!processExists(pid)) return nullptr;
  std::optional<std::string> name;
  if (window && display_) {
    XClassHint hint{nullptr, nullptr};
    if (XGetClassHint(display_->get(), *window, &hint)) {
      if (hint.res_class) name = hint.res_class;
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
    }
  }
  auto bundle = executableName(pid);
  if (!name) name = bundle;
  const auto policy = window ? port::ActivationPolicy::regular : port::ActivationPolicy::prohibited;
  return std::make_shared<ProcessApplication>(pid, std::move(name), std::move(bundle), policy);
}

port::RunningApplicationRef X11Workspace::frontmostApplication() {
  if (!display_) return nullptr;
  auto window = activeWindow(*display_);
  if (!window) return nullptr;
  auto pid = ownerOf(*display_, *window);
  if (!pid) return nullptr;
  return application(*pid, *window);
}

std::vector<port::RunningApplicationRef> X11Workspace::runningApplications() {
  std::vector<port::RunningApplicationRef> apps;
  if (!display_) return apps;
  std::set<port::Pid> seen;
  for (auto window : display_->cardinalListProperty(display_->root(), "_NET_CLIENT_LIST")) {
    auto pid = display_->cardinalProperty(Window(window), "_NET_WM_PID");
    if (!pid || !seen.insert(static_cast<port::Pid>(*pid)).second) continue;
    if (auto app = application(static_cast<port::Pid>(*pid), Window(window))) apps.push_back(app);
  }
  return apps;
}

port::RunningApplicationRef X11Workspace::runningApplicationWithProcessIdentifier(port::Pid pid) {
  if (display_) {
    for (auto window : display_->cardinalListProperty(display_->root(), "_NET_CLIENT_LIST")) {
      auto owner = display_->cardinalProperty(Window(window), "_NET_WM_PID");
      if (owner && static_cast<port::Pid>(*owner) == pid) return application(pid, Window(window));
    }
  }
  return application(pid, std::nullopt);
}

}  // namespace zorv::linux_desktop
