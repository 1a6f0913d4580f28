#include "linux/x11/x11_workspace.h"

#include <X11/Xutil.h>

#include <set>

#include "linux/process_application.h"
#include "linux/x11/x11_windows.h"

namespace zorv::linux_desktop {

X11Workspace::X11Workspace(X11Display* display, port::Dispatch& dispatch)
    : display_(display), dispatch_(dispatch), opener_(dispatch) {
  if (!display_) return;
  XSelectInput(display_->get(), display_->root(), PropertyChangeMask);
  display_->setEventHandler([this](const XEvent& event) { onEvent(event); });
  lastActivePid_ = activePid();
}

std::optional<port::Pid> X11Workspace::activePid() {
  if (!display_) return std::nullopt;
  auto window = activeWindow(*display_);
  return window ? ownerOf(*display_, *window) : std::nullopt;
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

void X11Workspace::onEvent(const XEvent& event) {
  if (event.type != PropertyNotify || event.xproperty.window != display_->root() ||
      event.xproperty.atom != display_->atom("_NET_ACTIVE_WINDOW")) {
    return;
  }
  // The window manager reports the same window more than once and passes through
  // "no window" between two; only a change of process is an activation.
  auto pid = activePid();
  if (!pid || pid == lastActivePid_) return;
  lastActivePid_ = pid;
  auto app = runningApplicationWithProcessIdentifier(*pid);
  if (!app) return;
  port::Notification notification{
      port::kWorkspaceDidActivateApplicationNotification, std::nullopt,
      std::map<std::string, port::NotificationObject>{{port::kWorkspaceApplicationKey, app}}};
  const auto registrations = registrations_;
  for (const auto& r : registrations) {
    if (r.name == notification.name) r.handler(notification);
  }
}

bool X11Workspace::openURL(const std::string& url) {
  return opener_.openURL(url);
}

void X11Workspace::openURLs(const std::vector<std::string>& urls, const std::string& applicationURL,
                            const port::OpenConfiguration& configuration,
                            port::OpenCompletion completion) {
  opener_.openURLs(urls, applicationURL, configuration, std::move(completion));
}

void X11Workspace::openApplication(const std::string& applicationURL,
                                   const port::OpenConfiguration& configuration,
                                   port::OpenCompletion completion) {
  opener_.openApplication(applicationURL, configuration, std::move(completion));
}

void X11Workspace::addObserver(port::ObserverToken observer, const std::string& name,
                               std::function<void(const port::Notification&)> handler) {
  registrations_.push_back({observer, name, std::move(handler)});
}

void X11Workspace::removeObserver(port::ObserverToken observer) {
  std::erase_if(registrations_, [&](const Registration& r) { return r.observer == observer; });
}

}  // namespace zorv::linux_desktop
