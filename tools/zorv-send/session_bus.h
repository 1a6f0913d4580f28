#pragma once
// One signal on the session bus, spoken straight over its socket: a sender that
// starts for a single message spends its time on the bus, not on loading a
// D-Bus library.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorv::send {

// A socket a bus address names: a file path, or a name in the abstract namespace.
struct SocketAddress {
  std::string path;
  bool abstract = false;
  bool operator==(const SocketAddress&) const = default;
};

// The sockets of a D-Bus address text ("unix:path=/run/user/1000/bus;..."), in
// order, values unescaped; entries of other transports are passed over.
std::vector<SocketAddress> socketAddresses(std::string_view address);

// Where the session bus listens: DBUS_SESSION_BUS_ADDRESS, else the user's
// $XDG_RUNTIME_DIR/bus.
std::vector<SocketAddress> sessionBusSockets();

bool isValidUtf8(std::string_view text);

// Broadcasts signal `member` of `interface` from `path`, with one string
// argument, and returns once the bus has taken it. The error text otherwise.
std::optional<std::string> emitStringSignal(const std::vector<SocketAddress>& bus,
                                            const std::string& path, const std::string& interface,
                                            const std::string& member, const std::string& text);

}  // namespace zorv::send
