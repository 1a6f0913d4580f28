#pragma once
// Modal alerts as GTK message dialogs on the main thread. GTK starts with the
// first alert; without a display the alert's texts go to standard error instead.

#include "port/alerts.h"

namespace zorv::linux_desktop {

class GtkAlerts : public port::Alerts {
 public:
  int runModal(const port::Alert& alert) override;

 private:
  enum class State { unknown, ready, unavailable };
  State gtk_ = State::unknown;
};

}  // namespace zorv::linux_desktop
