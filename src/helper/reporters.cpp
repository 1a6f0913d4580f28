#include "helper/reporters.h"

#include "support/uuid.h"

namespace zorv::helper {

void Reporter::postUserNotification(std::string title, std::optional<std::string> subtitle) const {
  namespace option = port::authorization_option;
  auto& center = platform_.userNotifications;
  // Asked again for every report; the answer is not looked at.
  center.requestAuthorization(option::alert | option::sound | option::provisional,
                              [&center, title = std::move(title), subtitle = std::move(subtitle)](
                                  bool, std::optional<port::PlatformError>) {
                                port::NotificationRequest request;
                                request.identifier = support::makeUUIDString();
                                request.content.title = title;
                                request.content.subtitle = subtitle;
                                request.content.defaultSound = true;
                                center.addNotificationRequest(request);
                              });
}

void Reporter::showAlert(std::string title, std::string message) const {
  auto& alerts = platform_.alerts;
  platform_.dispatch.asyncMain([&alerts, title = std::move(title), message = std::move(message)] {
    port::Alert alert;
    alert.style = port::AlertStyle::critical;
    alert.messageText = title;
    alert.informativeText = message;
    alert.buttons = {kAlertButtonTitle};
    alerts.runModal(alert);  // only informs: the button pressed does not matter
  });
}

}  // namespace zorv::helper
