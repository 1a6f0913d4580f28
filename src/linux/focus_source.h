#pragma once
// The focused window as the desktop itself reports it (a shell's own signal).
// Where a desktop offers one, the helper learns window changes from it instead
// of listening to the applications' accessibility events: a listener makes
// GTK hand every key press to the accessibility registry first, which freezes
// an application whose accessibility connection a modal dialog holds.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "port/types.h"

namespace zorv::linux_desktop {

struct DesktopFocus {
  port::Pid pid = 0;  // 0: no window has the focus
  std::string title;
};

class FocusSource {
 public:
  using Listener = std::function<void(const DesktopFocus&)>;
  virtual ~FocusSource() = default;
  // Nothing when the desktop does not say now.
  virtual std::optional<DesktopFocus> focus() const = 0;
  // Called on the main context with every change of the focused window.
  virtual std::uint64_t addListener(Listener listener) = 0;
  virtual void removeListener(std::uint64_t id) = 0;
};

}  // namespace zorv::linux_desktop
