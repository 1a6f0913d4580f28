#include "linux/gnome/gnome_session.h"

namespace zorv::linux_desktop {

GnomeSession::GnomeSession(std::unique_ptr<WaylandDisplay> display, GDBusConnection* sessionBus,
                           port::Dispatch& dispatch, port::SystemLog& log)
    : display_(std::move(display)),
      extension_(sessionBus),
      focus_(extension_.present() ? &extension_ : nullptr),
      workspace_(sessionBus, dispatch, display_->compositorPid(), focus_),
      keyboard_(std::make_unique<MutterRemoteDesktop>()),
      inputSources_(extension_),
      raiser_(extension_) {
  if (!focus_) {
    log.log(std::string("The zorv-helper GNOME Shell extension is not running: switchInputMethod "
                        "and switchWindow will have no effect; enable it with "
                        "\"gnome-extensions enable ") +
            GnomeShellExtension::kUuid + "\" (then log out and in again)");
  }
}

}  // namespace zorv::linux_desktop
