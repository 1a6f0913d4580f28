#include "desktop/memory_shell.h"

#include <algorithm>

namespace zorv::testing {

int MemoryDispatch::drainMain() {
  int ran = 0;
  while (!main_.empty()) {
    auto work = std::move(main_.front());
    main_.pop_front();
    work();
    ++ran;
  }
  return ran;
}

int MemoryDispatch::drainGlobal() {
  int ran = 0;
  while (!global_.empty()) {
    auto work = std::move(global_.front());
    global_.pop_front();
    work();
    ++ran;
  }
  return ran;
}

void MemoryDispatch::advance(std::chrono::milliseconds by) {
  now_ += by;
  auto due = std::stable_partition(delayed_.begin(), delayed_.end(),
                                   [&](const Delayed& d) { return d.due > now_; });
  for (auto it = due; it != delayed_.end(); ++it) global_.push_back(std::move(it->work));
  delayed_.erase(due, delayed_.end());
}

int MemoryApplication::run(port::ApplicationDelegate& delegate) {
  log_.add("application: run");
  delegate_ = &delegate;
  delegate.applicationDidFinishLaunching();
  return 0;
}

void MemoryApplication::terminate() {
  if (terminated_) return;
  terminated_ = true;
  if (delegate_) delegate_->applicationWillTerminate();
}

void MemoryUserNotifications::requestAuthorization(
    std::uint32_t options,
    std::function<void(bool, std::optional<port::PlatformError>)> completion) {
  authorizationRequests.push_back(options);
  const bool granted = grantAuthorization;
  dispatch_.asyncGlobal([completion = std::move(completion), granted] {
    if (granted) {
      completion(true, std::nullopt);
    } else {
      completion(false, port::PlatformError{"UNErrorDomain", 1, "Notifications are not allowed"});
    }
  });
}

void MemoryDistributedCenter::addObserver(port::ObserverToken observer, const std::string& name,
                                          port::SuspensionBehavior suspension,
                                          std::function<void(const port::Notification&)> handler) {
  log_.add("distributed: addObserver name=" + name +
           " suspension=" + std::to_string(static_cast<int>(suspension)));
  registrations_.push_back({observer, name, std::move(handler)});
}

void MemoryDistributedCenter::removeObserver(port::ObserverToken observer) {
  std::erase_if(registrations_, [&](const Registration& r) { return r.observer == observer; });
}

void MemoryDistributedCenter::post(const port::Notification& notification) {
  const auto registrations = registrations_;
  for (const auto& r : registrations) {
    if (r.name == notification.name) r.handler(notification);
  }
}

void MemoryDistributedCenter::postRequest(const std::string& json) {
  post({"name.pemu.zorv.notification_names.helper_action_event", json, std::nullopt});
}

}  // namespace zorv::testing
