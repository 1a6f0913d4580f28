#pragma once
// The helper's GNOME Shell extension (extension/ in this folder) as the helper
// sees it on the session bus: name.pemu.zorv.Shell. GNOME gives ordinary
// programs no way to select an input source or to raise a window; the
// extension runs inside the shell, where both are possible.

#include <gio/gio.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "linux/window_focus.h"
#include "port/types.h"

namespace zorv::linux_desktop {

struct GnomeInputSource {
  std::string type;  // "xkb", "ibus"
  std::string id;    // "us", "de+nodeadkeys"
  std::string displayName;
};

struct GnomeInputSourceList {
  std::vector<GnomeInputSource> sources;
  std::optional<std::size_t> current;
};

// Also the shell's report of the focused window: asked of it (GetFocus), and
// its changes from its FocusChanged signal.
class GnomeShellExtension : public WindowFocus {
 public:
  static constexpr const char* kBusName = "name.pemu.zorv.Shell";
  static constexpr const char* kUuid = "zorv-helper@pemu.name";

  // `sessionBus` may be null: then nothing answers.
  explicit GnomeShellExtension(GDBusConnection* sessionBus);
  ~GnomeShellExtension() override;
  GnomeShellExtension(const GnomeShellExtension&) = delete;
  GnomeShellExtension& operator=(const GnomeShellExtension&) = delete;

  // Whether the extension runs in the shell now.
  bool present() const;
  // Nothing when the extension does not answer.
  std::optional<GnomeInputSourceList> inputSources() const;
  bool selectInputSource(const std::string& type, const std::string& id) const;
  bool activateWindow(port::Pid pid, const std::string& title) const;
  bool activateApplication(port::Pid pid) const;

  std::optional<FocusedWindow> focusedWindow() override;

 private:
  GVariant* call(const char* method, GVariant* parameters, const GVariantType* reply) const;
  GDBusConnection* bus_;
  guint subscription_ = 0;
};

}  // namespace zorv::linux_desktop
