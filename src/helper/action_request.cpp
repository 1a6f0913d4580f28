#include "helper/action_request.h"

#include <variant>

#include "support/unicode.h"

namespace zorv::helper {
namespace {

std::optional<HelperAction> decode(const port::Notification& notification) {
  if (notification.name != helperActionEvent()) return std::nullopt;
  if (!notification.object) return std::nullopt;
  const auto* text = std::get_if<std::string>(&*notification.object);
  if (!text || !support::isValidUTF8(*text)) return std::nullopt;
  auto decoded = decodeHelperActionDocument(*text);
  if (auto* action = std::get_if<HelperAction>(&decoded)) return std::move(*action);
  return std::nullopt;  // the reason is not reported
}

}  // namespace

const std::string& helperActionEvent() {
  static const std::string name = "name.pemu.zorv.notification_names.helper_action_event";
  return name;
}

std::optional<HelperAction> decodeHelperAction(const port::Notification& notification,
                                               port::StandardOutput& out) {
  auto action = decode(notification);
  if (!action) out.writeLine("");
  return action;
}

}  // namespace zorv::helper
