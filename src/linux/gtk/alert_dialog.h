#pragma once
// The interface of the alert dialog module. The helper loads the module, and
// with it GTK and its libraries, only when the first alert is shown: most
// sessions never show one, and GTK would otherwise be about a third of the
// helper's resident memory. Plain C, so that the loader needs nothing but the
// symbol's name.

#ifdef __cplusplus
extern "C" {
#endif

typedef enum ZorvAlertStyle {
  ZORV_ALERT_CRITICAL,
  ZORV_ALERT_INFORMATIONAL,
  ZORV_ALERT_WARNING,
} ZorvAlertStyle;

// What one alert shows.
typedef struct ZorvAlertDialog {
  const char* messageText;
  const char* informativeText;  // "" for none
  ZorvAlertStyle style;
  const char* const* buttons;  // titles, in order
  int buttonCount;
} ZorvAlertDialog;

// Return of zorv_run_alert_dialog when GTK cannot start (no display).
#define ZORV_ALERT_DIALOG_UNAVAILABLE (-2)

// Runs the dialog modally on the calling (main) thread; the index of the
// button pressed, -1 when the dialog was closed without one, or
// ZORV_ALERT_DIALOG_UNAVAILABLE.
typedef int (*ZorvRunAlertDialog)(const ZorvAlertDialog* dialog);
#define ZORV_RUN_ALERT_DIALOG_SYMBOL "zorv_run_alert_dialog"

#ifdef __cplusplus
}
#endif
