#pragma once
// A notification as the platform's notification centres deliver it: a name, an
// optional object and an optional user-info dictionary.
// Threads: delivered and read on the main thread.

#include <map>
#include <optional>
#include <string>
#include <variant>

#include "port/running_application.h"

namespace zorv::port {

// An object that is none of the kinds the helper reads; only its description is kept.
struct OpaqueObject {
  std::string description;
};

using NotificationObject = std::variant<std::string, RunningApplicationRef, OpaqueObject>;

struct Notification {
  std::string name;
  std::optional<NotificationObject> object;
  std::optional<std::map<std::string, NotificationObject>> userInfo;
};

// The user-info key under which the workspace puts the activated application.
inline constexpr const char* kWorkspaceApplicationKey = "NSWorkspaceApplicationKey";
inline constexpr const char* kWorkspaceDidActivateApplicationNotification =
    "NSWorkspaceDidActivateApplicationNotification";

}  // namespace zorv::port
