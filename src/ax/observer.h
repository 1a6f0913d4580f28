#pragma once
// Delivers the accessibility notifications of one process to a callback, on
// the thread that created the observer, for as long as the observer lives.

#include <functional>
#include <memory>
#include <optional>

#include "ax/ax_notification.h"
#include "ax/ui_element.h"
#include "port/platform.h"

namespace zorv::ax {

class Observer {
 public:
  using Callback = std::function<void(Observer&, UIElementPtr, AXNotification)>;
  using CallbackWithInfo = std::function<void(Observer&, UIElementPtr, AXNotification,
                                              const std::optional<port::Dictionary>&)>;

  // Delivery starts at once. Throws AXError when the platform cannot make one.
  Observer(port::Platform& platform, port::Pid pid, Callback callback);
  Observer(port::Platform& platform, port::Pid pid, CallbackWithInfo callbackWithInfo);
  ~Observer();
  Observer(const Observer&) = delete;
  Observer& operator=(const Observer&) = delete;

  port::Pid pid() const { return pid_; }
  std::shared_ptr<Application> application();

  void start();
  void stop();
  // Registering twice, or removing what was never registered, succeeds.
  void addNotification(AXNotification notification, const UIElement& element);
  void removeNotification(AXNotification notification, const UIElement& element);

 private:
  void create(bool withInfo);
  static void deliver(port::Platform& platform, const port::ElementRef& element,
                      const std::string& notification, void* refcon,
                      const std::optional<port::Dictionary>& info);

  port::Platform& platform_;
  port::Pid pid_;
  std::unique_ptr<port::AXObserver> axObserver_;
  Callback callback_;
  CallbackWithInfo callbackWithInfo_;
  std::shared_ptr<Application> application_;
};

}  // namespace zorv::ax
