#include "ax/observer.h"

namespace zorv::ax {

Observer::Observer(port::Platform& platform, port::Pid pid, Callback callback)
    : platform_(platform), pid_(pid), callback_(std::move(callback)) {
  create(false);
}

Observer::Observer(port::Platform& platform, port::Pid pid, CallbackWithInfo callbackWithInfo)
    : platform_(platform), pid_(pid), callbackWithInfo_(std::move(callbackWithInfo)) {
  create(true);
}

void Observer::create(bool withInfo) {
  auto& platform = platform_;
  auto created = platform_.accessibility.createObserver(
      pid_, withInfo,
      [&platform](const port::ElementRef& element, const std::string& notification, void* refcon,
                  const std::optional<port::Dictionary>& info) {
        deliver(platform, element, notification, refcon, info);
      });
  if (!created.ok()) throw AXError(created.code);
  axObserver_ = std::move(created.value);
  axObserver_->addRunLoopSource();
}

Observer::~Observer() {
  if (axObserver_) axObserver_->removeRunLoopSource();
}

std::shared_ptr<Application> Observer::application() {
  if (!application_) {
    application_ =
        std::make_shared<Application>(platform_, platform_.accessibility.createApplication(pid_));
  }
  return application_;
}

void Observer::start() {
  axObserver_->addRunLoopSource();
}
void Observer::stop() {
  axObserver_->removeRunLoopSource();
}

void Observer::addNotification(AXNotification notification, const UIElement& element) {
  const auto code =
      axObserver_->addNotification(element.element(), std::string(rawValue(notification)), this);
  if (code != ax_error::success && code != ax_error::notificationAlreadyRegistered) {
    throw AXError(code);
  }
}

void Observer::removeNotification(AXNotification notification, const UIElement& element) {
  const auto code =
      axObserver_->removeNotification(element.element(), std::string(rawValue(notification)));
  if (code != ax_error::success && code != ax_error::notificationNotRegistered) {
    throw AXError(code);
  }
}

void Observer::deliver(port::Platform& platform, const port::ElementRef& element,
                       const std::string& notification, void* refcon,
                       const std::optional<port::Dictionary>& info) {
  auto* observer = static_cast<Observer*>(refcon);
  if (!observer) {
    platform.systemLog.log("Accessibility notification " + notification +
                           " arrived without its observer");
    return;
  }
  auto wrapped = std::make_shared<UIElement>(platform, element);
  auto known = notificationFromRawValue(notification);
  if (!known) {
    platform.systemLog.log("Unknown AX notification " + notification + " received");
    return;
  }
  if (observer->callbackWithInfo_) {
    observer->callbackWithInfo_(*observer, wrapped, *known, info);
  } else if (observer->callback_) {
    observer->callback_(*observer, wrapped, *known);
  }
}

}  // namespace zorv::ax
