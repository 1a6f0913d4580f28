// The alert dialog module: a GTK message dialog, run modally. Built as a
// loadable module of its own (see alert_dialog.h).

#include "linux/gtk/alert_dialog.h"

#include <X11/Xlib.h>
#include <gtk/gtk.h>

namespace {

GtkMessageType messageType(ZorvAlertStyle style) {
  switch (style) {
    case ZORV_ALERT_CRITICAL:
      return GTK_MESSAGE_ERROR;
    case ZORV_ALERT_INFORMATIONAL:
      return GTK_MESSAGE_INFO;
    case ZORV_ALERT_WARNING:
      return GTK_MESSAGE_WARNING;
  }
  return GTK_MESSAGE_OTHER;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int zorv_run_alert_dialog(
    const ZorvAlertDialog* alert) {
  enum class State { unknown, ready, unavailable };
  static State gtk = State::unknown;
  if (gtk == State::unknown) {
    // GDK puts in an X I/O error handler of its own, which ends the process
    // with status 1; the helper's own, in place before, stays in charge.
    const XIOErrorHandler helpers = XSetIOErrorHandler(nullptr);
    gtk = gtk_init_check(nullptr, nullptr) ? State::ready : State::unavailable;
    XSetIOErrorHandler(helpers);
  }
  if (gtk == State::unavailable) return ZORV_ALERT_DIALOG_UNAVAILABLE;

  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, messageType(alert->style),
                                             GTK_BUTTONS_NONE, "%s", alert->messageText);
  if (alert->informativeText[0] != '\0') {
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                             alert->informativeText);
  }
  gtk_window_set_title(GTK_WINDOW(dialog), "zorv-helper");
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  for (int i = 0; i < alert->buttonCount; ++i) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), alert->buttons[i], i);
  }
  const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return response >= 0 ? response : -1;
}
