#pragma once
// Modal alerts as GTK message dialogs on the main thread. The dialog module
// (and GTK with it) is loaded with the first alert; without it, or without a
// display, the alert's texts go to standard error instead.

#include <string>
#include <vector>

#include "linux/gtk/alert_dialog.h"
#include "port/alerts.h"

namespace zorv::linux_desktop {

class GtkAlerts : public port::Alerts {
 public:
  // `moduleDirectories`: where to look for the module, in order.
  explicit GtkAlerts(std::vector<std::string> moduleDirectories = defaultModuleDirectories());
  int runModal(const port::Alert& alert) override;

  // Next to the executable (a build tree), then the installed location.
  static std::vector<std::string> defaultModuleDirectories();
  static constexpr const char* kModuleFileName = "zorv-gtk-alerts.so";

 private:
  // Loads the module once; null when it cannot be loaded.
  ZorvRunAlertDialog runDialog();

  std::vector<std::string> moduleDirectories_;
  bool loaded_ = false;
  ZorvRunAlertDialog runDialog_ = nullptr;
};

}  // namespace zorv::linux_desktop
