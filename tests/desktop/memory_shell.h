#pragma once
// In-memory application shell: queues drained by the test, the application
// object, the two text channels, alerts and notification centres.

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "desktop/event_log.h"
#include "port/alerts.h"
#include "port/application.h"
#include "port/console.h"
#include "port/dispatch.h"
#include "port/distributed_notifications.h"
#include "port/user_notifications.h"

namespace zorv::testing {

// Nothing runs until the test drains a queue, so every interleaving is chosen.
class MemoryDispatch : public port::Dispatch {
 public:
  void asyncMain(port::Work work) override { main_.push_back(std::move(work)); }
  void asyncGlobal(port::Work work) override { global_.push_back(std::move(work)); }
  void asyncAfterGlobal(std::chrono::milliseconds delay, port::Work work) override {
    delayed_.push_back({now_ + delay, std::move(work)});
  }

  // Run the queue's work, including work queued meanwhile, until none is left;
  // return how many items ran.
  int drainMain() { return drain(main_); }
  int drainGlobal() { return drain(global_); }
  // Moves the clock and hands the delayed work that fell due to the global queue.
  void advance(std::chrono::milliseconds by) {
    now_ += by;
    auto due = std::stable_partition(delayed_.begin(), delayed_.end(),
                                     [&](const Delayed& d) { return d.due > now_; });
    for (auto it = due; it != delayed_.end(); ++it) global_.push_back(std::move(it->work));
    delayed_.erase(due, delayed_.end());
  }
  std::size_t pendingMain() const { return main_.size(); }
  std::size_t pendingDelayed() const { return delayed_.size(); }

 private:
  struct Delayed {
    std::chrono::milliseconds due;
    port::Work work;
  };
  static int drain(std::deque<port::Work>& queue) {
    int ran = 0;
    for (; !queue.empty(); ++ran) {
      auto work = std::move(queue.front());
      queue.pop_front();
      work();
    }
    return ran;
  }
  std::deque<port::Work> main_;
  std::deque<port::Work> global_;
  std::vector<Delayed> delayed_;
  std::chrono::milliseconds now_{0};
};

class MemoryApplication : public port::Application {
 public:
  explicit MemoryApplication(EventLog& log) : log_(log) {}
  // Records the start and sends the delegate its launch message; returns at once.
  int run(port::ApplicationDelegate& delegate) override {
    log_.add("application: run");
    delegate_ = &delegate;
    delegate.applicationDidFinishLaunching();
    return 0;
  }
  void terminate() override {
    if (terminated_) return;
    terminated_ = true;
    if (delegate_) delegate_->applicationWillTerminate();
  }
  bool terminated() const { return terminated_; }

 private:
  EventLog& log_;
  port::ApplicationDelegate* delegate_ = nullptr;
  bool terminated_ = false;
};

class MemoryConsole : public port::SystemLog, public port::StandardOutput {
 public:
  explicit MemoryConsole(EventLog& log) : log_(log) {}
  void log(const std::string& text) override { log_.add("log: " + text); }
  void writeLine(const std::string& text) override {
    log_.add("stdout: " + text);
    lines.push_back(text);
  }
  std::vector<std::string> lines;

 private:
  EventLog& log_;
};

class MemoryAlerts : public port::Alerts {
 public:
  int runModal(const port::Alert& alert) override {
    shown.push_back(alert);
    return 0;
  }
  std::vector<port::Alert> shown;
};

class MemoryUserNotifications : public port::UserNotificationCenter {
 public:
  explicit MemoryUserNotifications(MemoryDispatch& dispatch) : dispatch_(dispatch) {}
  // The authorization completes on the global queue, as on the platform.
  void requestAuthorization(
      std::uint32_t options,
      std::function<void(bool, std::optional<port::PlatformError>)> completion) override {
    authorizationRequests.push_back(options);
    dispatch_.asyncGlobal([completion = std::move(completion), granted = grantAuthorization] {
      if (granted) return completion(true, std::nullopt);
      completion(false, port::PlatformError{"UNErrorDomain", 1, "Notifications are not allowed"});
    });
  }
  void addNotificationRequest(const port::NotificationRequest& request) override {
    delivered.push_back(request);
  }

  bool grantAuthorization = true;
  std::vector<std::uint32_t> authorizationRequests;
  std::vector<port::NotificationRequest> delivered;

 private:
  MemoryDispatch& dispatch_;
};

class MemoryDistributedCenter : public port::DistributedNotificationCenter {
 public:
  explicit MemoryDistributedCenter(EventLog& log) : log_(log) {}
  void addObserver(port::ObserverToken observer, const std::string& name,
                   port::SuspensionBehavior suspension,
                   std::function<void(const port::Notification&)> handler) override {
    log_.add("distributed: addObserver name=" + name +
             " suspension=" + std::to_string(static_cast<int>(suspension)));
    registrations_.push_back({observer, name, std::move(handler)});
  }
  void removeObserver(port::ObserverToken observer) override {
    std::erase_if(registrations_, [&](const auto& r) { return r.observer == observer; });
  }
  // Delivers to every registration for the notification's name, as the main loop would.
  void post(const port::Notification& notification) {
    const auto registrations = registrations_;
    for (const auto& r : registrations) {
      if (r.name == notification.name) r.handler(notification);
    }
  }
  void postRequest(const std::string& json) {
    post({"name.pemu.zorv.notification_names.helper_action_event", json, std::nullopt});
  }
  std::size_t registrations() const { return registrations_.size(); }

 private:
  struct Registration {
    port::ObserverToken observer;
    std::string name;
    std::function<void(const port::Notification&)> handler;
  };
  EventLog& log_;
  std::vector<Registration> registrations_;
};

}  // namespace zorv::testing
