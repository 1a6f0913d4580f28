#include "linux/desktop_session.h"

#include <cstdlib>

#include "linux/gnome/gnome_session.h"
#include "linux/kde/kde_session.h"
#include "linux/sway/sway_ipc.h"
#include "linux/sway/sway_session.h"
#include "linux/wayland_session.h"
#include "linux/x11/x11_session.h"

namespace zorv::linux_desktop {
namespace {

bool namesKde(const std::optional<std::string>& desktops) {
  if (!desktops) return false;
  gchar** names = g_strsplit(desktops->c_str(), ":", -1);
  const bool found = g_strv_contains(names, "KDE");
  g_strfreev(names);
  return found;
}

std::optional<std::string> variable(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

}  // namespace

const char* sessionKindName(SessionKind kind) {
  switch (kind) {
    case SessionKind::x11:
      return "X11";
    case SessionKind::sway:
      return "sway";
    case SessionKind::gnome:
      return "GNOME";
    case SessionKind::kde:
      return "KDE";
    case SessionKind::wayland:
      return "Wayland";
    case SessionKind::none:
      break;
  }
  return "none";
}

SessionKind chooseSessionKind(const SessionProbe& probe) {
  if (probe.waylandDisplay && probe.waylandAnswers && probe.waylandAnswers()) {
    if (probe.swaySocket && probe.swayAnswers && probe.swayAnswers()) return SessionKind::sway;
    if (probe.currentDesktop && probe.currentDesktop->find("GNOME") != std::string::npos &&
        probe.mutterAnswers && probe.mutterAnswers()) {
      return SessionKind::gnome;
    }
    if (namesKde(probe.currentDesktop) && probe.kwinAnswers && probe.kwinAnswers()) {
      return SessionKind::kde;
    }
    return SessionKind::wayland;
  }
  if (probe.display && probe.xAnswers && probe.xAnswers()) return SessionKind::x11;
  return SessionKind::none;
}

std::unique_ptr<DesktopSession> openDesktopSession(GDBusConnection* sessionBus,
                                                   port::Dispatch& dispatch, port::SystemLog& log) {
  std::unique_ptr<WaylandDisplay> wayland;
  std::unique_ptr<X11Display> x11;
  SessionProbe probe;
  probe.waylandDisplay = variable("WAYLAND_DISPLAY");
  probe.currentDesktop = variable("XDG_CURRENT_DESKTOP");
  probe.swaySocket = variable("SWAYSOCK");
  probe.display = variable("DISPLAY");
  probe.waylandAnswers = [&] { return (wayland = WaylandDisplay::open()) != nullptr; };
  probe.swayAnswers = [&] {
    return SwayIpc(*probe.swaySocket).request(SwayIpc::Message::getVersion).has_value();
  };
  probe.mutterAnswers = [&] { return MutterRemoteDesktop::available(sessionBus); };
  probe.kwinAnswers = [&] { return sessionBus && kwinAnswers(sessionBus); };
  probe.xAnswers = [&] { return (x11 = X11Display::open()) != nullptr; };
  switch (chooseSessionKind(probe)) {
    case SessionKind::sway:
      return std::make_unique<SwaySession>(std::move(wayland), *probe.swaySocket, dispatch);
    case SessionKind::gnome:
      return std::make_unique<GnomeSession>(std::move(wayland), sessionBus, dispatch, log);
    case SessionKind::kde:
      return std::make_unique<KdeSession>(std::move(wayland), sessionBus, dispatch, log);
    case SessionKind::wayland:
      log.log("This Wayland compositor (XDG_CURRENT_DESKTOP=" + probe.currentDesktop.value_or("") +
              ") offers the helper no keyboard and no window control: simulateKeystroke, "
              "switchInputMethod and switchWindow will have no effect; menus, opening, running "
              "and sleep work");
      return std::make_unique<WaylandSession>(std::move(wayland), sessionBus, dispatch);
    case SessionKind::x11:
    case SessionKind::none:
      break;
  }
  return std::make_unique<X11Session>(std::move(x11), dispatch);
}

}  // namespace zorv::linux_desktop
