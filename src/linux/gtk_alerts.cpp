#include "linux/gtk_alerts.h"

#include <gtk/gtk.h>

#include <cstdio>

namespace zorv::linux_desktop {
namespace {

GtkMessageType messageType(port::AlertStyle style) {
  switch (style) {
    case port::AlertStyle::critical:
      return GTK_MESSAGE_ERROR;
    case port::AlertStyle::informational:
      return GTK_MESSAGE_INFO;
    case port::AlertStyle::warning:
      return GTK_MESSAGE_WARNING;
  }
  return GTK_MESSAGE_OTHER;
}

}  // namespace

int GtkAlerts::runModal(const port::Alert& alert) {
  if (gtk_ == State::unknown)
    gtk_ = gtk_init_check(nullptr, nullptr) ? State::ready : State::unavailable;
  if (gtk_ == State::unavailable) {
    std::fprintf(stderr, "alert: %s%s%s\n", alert.messageText.c_str(),
                 alert.informativeText.empty() ? "" : "\n  ", alert.informativeText.c_str());
    std::fflush(stderr);
    return -1;
  }
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, messageType(alert.style),
                                             GTK_BUTTONS_NONE, "%s", alert.messageText.c_str());
  if (!alert.informativeText.empty()) {
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                             alert.informativeText.c_str());
  }
  gtk_window_set_title(GTK_WINDOW(dialog), "zorv-helper");
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), alert.buttons[i].c_str(), static_cast<gint>(i));
  }
  const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return response >= 0 ? response : -1;
}

}  // namespace zorv::linux_desktop
