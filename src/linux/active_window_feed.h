#pragma once
// Window activations as a compositor reports them (the process and the title
// of each window it activates), for sessions without an X window manager
// whose applications must not be asked for window events (see
// atspi/atspi_observer.h). Listeners are called on the main context.

#include <cstdint>
#include <functional>
#include <string>

#include "port/types.h"

namespace zorv::linux_desktop {

class ActiveWindowFeed {
 public:
  using Listener = std::function<void(port::Pid pid, const std::string& title)>;
  virtual ~ActiveWindowFeed() = default;
  virtual std::uint64_t addListener(Listener listener) = 0;
  virtual void removeListener(std::uint64_t id) = 0;
};

}  // namespace zorv::linux_desktop
