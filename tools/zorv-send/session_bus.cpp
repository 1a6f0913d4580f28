#include "session_bus.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace zorv::send {
namespace {

struct BusClose {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusClose>;

constexpr const char* kBadText = "the request must be UTF-8 text without NUL characters";

std::string failure(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(-error);
}

}  // namespace

std::optional<SendError> emitStringSignal(const std::string& path, const std::string& interface,
                                          const std::string& member, const std::string& text) {
  if (text.find('\0') != std::string::npos) return SendError{SendError::badText, kBadText};
  sd_bus* opened = nullptr;
  if (const int r = sd_bus_open_user(&opened); r < 0)
    return SendError{SendError::bus, failure("no session bus", r)};
  const Bus bus(opened);
  if (const int r = sd_bus_emit_signal(bus.get(), path.c_str(), interface.c_str(), member.c_str(),
                                       "s", text.c_str());
      r < 0) {
    // sd-bus refuses a string that is not UTF-8; the names are the helper's own.
    if (r == -EINVAL) return SendError{SendError::badText, kBadText};
    return SendError{SendError::bus, failure("cannot write the signal", r)};
  }
  if (const int r = sd_bus_flush(bus.get()); r < 0)
    return SendError{SendError::bus, failure("the session bus", r)};
  return std::nullopt;
}

}  // namespace zorv::send
