#pragma once
// What differs between the kinds of Linux desktop session: keyboard events,
// layouts and input sources, the frontmost application and its activations,
// and raising an application or a window. Everything else (accessibility,
// requests, notifications, alerts, opening, processes, files) is shared.

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "port/console.h"
#include "port/dispatch.h"
#include "port/keyboard_events.h"
#include "port/text_input_sources.h"
#include "port/types.h"
#include "port/workspace.h"

namespace zorv::linux_desktop {

class WindowFocus;

// Brings an application or one of its windows to the front, as the session's
// window manager or compositor allows. `application` answers the accessible
// application's name (for toolkits, the program name a Wayland compositor
// knows as the application id), asked only by sessions that cannot go by
// process: it calls the application, which may not answer.
// Calls on the main thread.
class WindowRaiser {
 public:
  using ApplicationName = std::function<std::string()>;
  virtual ~WindowRaiser() = default;
  // The most recently used window of process `pid`; false when it has none.
  virtual bool raiseApplication(port::Pid pid, const ApplicationName& application) = 0;
  // The window of process `pid` titled `title`; false when there is none.
  virtual bool raiseWindow(port::Pid pid, const ApplicationName& application,
                           const std::string& title) = 0;
};

enum class SessionKind {
  x11,      // an X server with an EWMH window manager
  sway,     // sway (wlroots): its IPC socket and the wlroots protocols
  gnome,    // GNOME (mutter): its remote desktop service and the helper's shell extension
  kde,      // KWin (KDE Plasma): its fake input protocol, D-Bus services and scripting
  wayland,  // another Wayland compositor: accessibility and the shared services only
  none,     // neither an X server nor a Wayland compositor answers
};

const char* sessionKindName(SessionKind kind);

// What start-up sees of the session: the environment, and whether each
// candidate answers (asked only when its variable is set).
struct SessionProbe {
  std::optional<std::string> waylandDisplay;  // WAYLAND_DISPLAY
  std::optional<std::string> currentDesktop;  // XDG_CURRENT_DESKTOP
  std::optional<std::string> swaySocket;      // SWAYSOCK
  std::optional<std::string> display;         // DISPLAY
  std::function<bool()> waylandAnswers;
  std::function<bool()> swayAnswers;
  std::function<bool()> mutterAnswers;  // org.gnome.Mutter.RemoteDesktop
  std::function<bool()> kwinAnswers;    // org.kde.KWin on the session bus
  std::function<bool()> xAnswers;
};

// A Wayland compositor that answers decides, also when an X server (Xwayland)
// is there too: X clients see only the X windows of such a session. sway is
// recognised by its IPC socket answering; GNOME by XDG_CURRENT_DESKTOP naming it
// and mutter's remote desktop service answering on the session bus; KWin by a
// desktop that names KDE (XDG_CURRENT_DESKTOP, a colon-separated list) and
// KWin's bus name answering.
SessionKind chooseSessionKind(const SessionProbe& probe);

class DesktopSession {
 public:
  virtual ~DesktopSession() = default;
  virtual SessionKind kind() const = 0;
  virtual port::Workspace& workspace() = 0;
  virtual port::KeyboardEvents& keyboardEvents() = 0;
  virtual port::TextInputSources& textInputSources() = 0;
  // Null when this session cannot raise anything.
  virtual WindowRaiser* windowRaiser() = 0;
  // The focused window as the window manager or compositor tells it; null when
  // the session cannot tell (accessibility then asks the applications, and
  // window changes are not observed).
  virtual WindowFocus* windowFocus() { return nullptr; }
  // Called once, on the main context, when the connection to the display
  // server has closed.
  virtual void setConnectionLostHandler(std::function<void()> handler) = 0;
};

// The session of this process's environment, chosen once at start-up. A session
// whose actions are partly unavailable says so in one line on `log`.
std::unique_ptr<DesktopSession> openDesktopSession(GDBusConnection* sessionBus,
                                                   port::Dispatch& dispatch, port::SystemLog& log);

}  // namespace zorv::linux_desktop
