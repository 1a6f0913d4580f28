#pragma once
// Modal alerts, run on the main thread.
// Threads: every call on the main thread (the reporters queue alerts there).

#include <string>
#include <vector>

namespace zorv::port {

enum class AlertStyle : int { warning = 0, informational = 1, critical = 2 };

struct Alert {
  AlertStyle style = AlertStyle::warning;
  std::string messageText;
  std::string informativeText;
  std::vector<std::string> buttons;
};

class Alerts {
 public:
  virtual ~Alerts() = default;
  // Shows the alert and returns when the user dismissed it: the index of the
  // button pressed, or -1 when the alert could not be shown.
  virtual int runModal(const Alert& alert) = 0;
};

}  // namespace zorv::port
