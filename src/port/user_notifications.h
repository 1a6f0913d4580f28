#pragma once
// The user notification centre: banners in the desktop's notification area.
// Threads: any thread; the authorization completion runs on a worker thread and
// adds the notification request from there.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "port/workspace.h"

namespace zorv::port {

namespace authorization_option {
inline constexpr std::uint32_t badge = 1;
inline constexpr std::uint32_t sound = 2;
inline constexpr std::uint32_t alert = 4;
inline constexpr std::uint32_t provisional = 64;
}  // namespace authorization_option

struct NotificationContent {
  std::string title;
  std::optional<std::string> subtitle;
  bool defaultSound = false;
};

// A request without a trigger: delivered at once.
struct NotificationRequest {
  std::string identifier;
  NotificationContent content;
};

class UserNotificationCenter {
 public:
  virtual ~UserNotificationCenter() = default;
  // The completion runs once, on a queue of the platform's choosing.
  virtual void requestAuthorization(
      std::uint32_t options,
      std::function<void(bool granted, std::optional<PlatformError> error)> completion) = 0;
  // The outcome is not reported.
  virtual void addNotificationRequest(const NotificationRequest& request) = 0;
};

}  // namespace zorv::port
