#pragma once
// In-memory application shell: queues drained by the test, the application
// object, the two text channels, alerts and notification centres.

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

  // Runs main-queue work, including work queued meanwhile, until none is left.
  // Returns how many items ran.
  int drainMain();
  int drainGlobal();
  // Moves the clock and hands the delayed work that fell due to the global queue.
  void advance(std::chrono::milliseconds by);
  std::size_t pendingMain() const { return main_.size(); }
  std::size_t pendingDelayed() const { return delayed_.size(); }

 private:
  struct Delayed {
    std::chrono::milliseconds due;
    port::Work work;
  };
  std::deque<port::Work> main_;
  std::deque<port::Work> global_;
  std::vector<Delayed> delayed_;
  std::chrono::milliseconds now_{0};
};

class MemoryApplication : public port::Application {
 public:
  explicit MemoryApplication(EventLog& log) : log_(log) {}
  // Records the start and sends the delegate its launch message; returns at once.
  int run(port::ApplicationDelegate& delegate) override;
  void terminate() override;
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
      std::function<void(bool, std::optional<port::PlatformError>)> completion) override;
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
                   std::function<void(const port::Notification&)> handler) override;
  void removeObserver(port::ObserverToken observer) override;
  // Delivers to every registration for the notification's name, as the main loop would.
  void post(const port::Notification& notification);
  void postRequest(const std::string& json);
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
