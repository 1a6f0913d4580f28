#include "linux/kde/kde_session.h"

#include <unistd.h>

#include <climits>

namespace zorv::linux_desktop {
namespace {

std::string ownExecutable() {
  char path[PATH_MAX];
  const auto length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

bool kwinAnswers(GDBusConnection* sessionBus) {
  GVariant* reply = g_dbus_connection_call_sync(
      sessionBus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "NameHasOwner", g_variant_new("(s)", "org.kde.KWin"), G_VARIANT_TYPE("(b)"),
      G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned;
}

KdeSession::KdeSession(std::unique_ptr<WaylandDisplay> display, GDBusConnection* sessionBus,
                       port::Dispatch& dispatch, port::SystemLog& log)
    : display_(std::move(display)),
      script_(sessionBus),
      focus_(script_.loaded() ? &script_ : nullptr),
      workspace_(sessionBus, dispatch, display_->compositorPid(), focus_),
      keyboard_(display_.get()),
      inputSources_(sessionBus, [this] { return keyboard_.keymap(); }),
      raiser_(script_) {
  if (!keyboard_.available()) {
    log.log("KWin does not let this program (" + ownExecutable() +
            ") simulate keys: it grants its fake input protocol only to a program whose desktop "
            "entry (in an applications folder of XDG_DATA_DIRS when KWin started) has Exec= that "
            "path and X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input; simulateKeystroke will "
            "have no effect");
  }
  if (!script_.loaded()) {
    log.log(
        "KWin did not run the helper's script: switchWindow will have no effect and "
        "application activations are not reported");
  }
}

}  // namespace zorv::linux_desktop
