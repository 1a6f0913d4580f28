#pragma once
// The two ways a failure reaches the user: a notification in the desktop's
// notification area, and a modal alert.

#include <optional>
#include <string>

#include "port/platform.h"

namespace zorv::helper {

// Alert button and style shared by every alert the helper shows.
inline constexpr const char* kAlertButtonTitle = "Cancel";

class Reporter {
 public:
  explicit Reporter(port::Platform& platform) : platform_(platform) {}

  // Returns at once; callable from any thread. Each report gets a new identifier,
  // so none replaces an earlier one.
  void postUserNotification(std::string title, std::optional<std::string> subtitle) const;

  // Returns at once; the alert is shown later on the main thread.
  void showAlert(std::string title, std::string message) const;
  // The same with a message text only, as the file runner's alerts have.
  void showAlert(std::string title) const { showAlert(std::move(title), std::string()); }

 private:
  port::Platform& platform_;
};

}  // namespace zorv::helper
