#include "linux/gtk_alerts.h"

#include <gmodule.h>

#include <cstdio>
#include <utility>

namespace zorv::linux_desktop {
namespace {

ZorvAlertStyle dialogStyle(port::AlertStyle style) {
  switch (style) {
    case port::AlertStyle::critical:
      return ZORV_ALERT_CRITICAL;
    case port::AlertStyle::informational:
      return ZORV_ALERT_INFORMATIONAL;
    case port::AlertStyle::warning:
      return ZORV_ALERT_WARNING;
  }
  return ZORV_ALERT_WARNING;
}

void printAlert(const port::Alert& alert) {
  std::fprintf(stderr, "alert: %s%s%s\n", alert.messageText.c_str(),
               alert.informativeText.empty() ? "" : "\n  ", alert.informativeText.c_str());
  std::fflush(stderr);
}

}  // namespace

GtkAlerts::GtkAlerts(std::vector<std::string> moduleDirectories)
    : moduleDirectories_(std::move(moduleDirectories)) {}

std::vector<std::string> GtkAlerts::defaultModuleDirectories() {
  std::vector<std::string> directories;
  if (gchar* executable = g_file_read_link("/proc/self/exe", nullptr)) {
    gchar* directory = g_path_get_dirname(executable);
    directories.emplace_back(directory);
    g_free(directory);
    g_free(executable);
  }
  directories.emplace_back(ZORV_GTK_ALERTS_MODULE_DIR);
  return directories;
}

ZorvRunAlertDialog GtkAlerts::runDialog() {
  if (loaded_) return runDialog_;
  loaded_ = true;
  for (const auto& directory : moduleDirectories_) {
    gchar* path = g_build_filename(directory.c_str(), kModuleFileName, nullptr);
    if (!g_file_test(path, G_FILE_TEST_EXISTS)) {
      g_free(path);
      continue;
    }
    GModule* module = g_module_open(path, G_MODULE_BIND_LOCAL);
    g_free(path);
    gpointer symbol = nullptr;
    if (!module || !g_module_symbol(module, ZORV_RUN_ALERT_DIALOG_SYMBOL, &symbol)) {
      std::fprintf(stderr, "cannot load the alert dialogs: %s\n", g_module_error());
      if (module) g_module_close(module);
      return nullptr;
    }
    // GTK cannot be unloaded once it has started.
    g_module_make_resident(module);
    runDialog_ = reinterpret_cast<ZorvRunAlertDialog>(symbol);
    return runDialog_;
  }
  std::fprintf(stderr, "cannot load the alert dialogs: no %s\n", kModuleFileName);
  return nullptr;
}

int GtkAlerts::runModal(const port::Alert& alert) {
  const ZorvRunAlertDialog run = runDialog();
  if (run) {
    std::vector<const char*> buttons;
    for (const auto& title : alert.buttons) buttons.push_back(title.c_str());
    const ZorvAlertDialog dialog{alert.messageText.c_str(), alert.informativeText.c_str(),
                                 dialogStyle(alert.style), buttons.data(),
                                 static_cast<int>(buttons.size())};
    const int response = run(&dialog);
    if (response != ZORV_ALERT_DIALOG_UNAVAILABLE) return response;
  }
  printAlert(alert);
  return -1;
}

}  // namespace zorv::linux_desktop
