#pragma once
// The window that has the focus, as the session's window manager or compositor
// tells it, and its changes. The helper learns window changes here rather than
// from accessibility events: an accessibility event listener makes GTK hand
// every key press to the registry first, which freezes an application whose
// accessibility connection is held by a modal dialog (docs/linux-backend.md,
// "Pressing").

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "port/types.h"

namespace zorv::linux_desktop {

struct FocusedWindow {
  port::Pid pid = 0;
  std::optional<std::string> title;
};

class WindowFocus {
 public:
  using Listener = std::function<void(const FocusedWindow&)>;
  virtual ~WindowFocus() = default;

  // The focused window now; none when no window has the focus or its process is unknown.
  virtual std::optional<FocusedWindow> focusedWindow() = 0;

  // Called on the main context each time a window gets the focus (the same
  // window may be told again). A listener may add and remove listeners.
  std::uint64_t addListener(Listener listener) {
    listeners_.emplace(++lastId_, std::move(listener));
    return lastId_;
  }
  void removeListener(std::uint64_t id) { listeners_.erase(id); }

 protected:
  void focused(const FocusedWindow& window) {
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners) {
      if (listeners_.contains(id)) listener(window);
    }
  }

 private:
  std::map<std::uint64_t, Listener> listeners_;
  std::uint64_t lastId_ = 0;
};

}  // namespace zorv::linux_desktop
