#pragma once
// Turns a received notification into the action it requests.

#include <optional>
#include <string>

#include "helper/helper_action.h"
#include "port/console.h"
#include "port/notification.h"

namespace zorv::helper {

// "name.pemu.zorv.notification_names.helper_action_event"
const std::string& helperActionEvent();

// The requested action, or none (after one empty line on standard output) when
// the notification is not a request this helper understands.
std::optional<HelperAction> decodeHelperAction(const port::Notification& notification,
                                               port::StandardOutput& out);

}  // namespace zorv::helper
