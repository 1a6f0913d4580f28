#pragma once
// sway's IPC socket ($SWAYSOCK): one request and its reply at a time, each on
// a connection of its own, so that a compositor that restarted or a reply
// that never came cannot leave a half-read stream behind.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace zorv::linux_desktop {

class SwayIpc {
 public:
  enum class Message : std::uint32_t {
    runCommand = 0,
    getTree = 4,
    getVersion = 7,
    getInputs = 100,
  };

  explicit SwayIpc(std::string socketPath) : path_(std::move(socketPath)) {}

  // The reply's JSON; none when the socket does not answer within the time-out
  // or the reply is not JSON.
  std::optional<nlohmann::json> request(
      Message type, const std::string& payload = {},
      std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) const;
  // Runs sway commands; true when every one of them succeeded.
  bool command(const std::string& commands) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace zorv::linux_desktop
