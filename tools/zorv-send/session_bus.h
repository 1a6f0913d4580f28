#pragma once
// One signal on the session bus through sd-bus, which sends the bus's Hello
// and the signal together instead of waiting for the answer to Hello first,
// and loads one library fewer than dbus-send.

#include <optional>
#include <string>

namespace zorv::send {

struct SendError {
  enum Kind { badText, bus };  // a text the bus refuses (not UTF-8, or with NUL); no bus
  Kind kind;
  std::string message;
};

// Broadcasts signal `member` of `interface` from `path` on the session bus
// (DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus), with one string
// argument, and returns once it is written to the bus.
std::optional<SendError> emitStringSignal(const std::string& path, const std::string& interface,
                                          const std::string& member, const std::string& text);

}  // namespace zorv::send
