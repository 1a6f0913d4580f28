#pragma once
// sway's IPC socket ($SWAYSOCK): one request and its reply at a time, each on
// a connection of its own, so that a compositor that restarted or a reply
// that never came cannot leave a half-read stream behind; events on a
// connection subscribed to them.

#include <glib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace zorv::linux_desktop {

class SwayIpc {
 public:
  enum class Message : std::uint32_t {
    runCommand = 0,
    subscribe = 2,
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

  // A connection subscribed to `events` (a JSON array of event names), its
  // socket non-blocking; -1 when sway did not accept. The caller closes it.
  int subscribe(const std::string& events,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) const;
  // Event types (the high bit marks events).
  static constexpr std::uint32_t kWindowEvent = 0x80000003;
  static constexpr std::uint32_t kInputEvent = 0x80000015;
  // Takes the first whole message off the front of `stream`: its type and
  // its JSON (discarded when it is not JSON). None until one has come whole.
  static std::optional<std::pair<std::uint32_t, nlohmann::json>> takeMessage(std::string& stream);

  const std::string& path() const { return path_; }

 private:
  int connectSocket() const;
  std::string path_;
};

// The events of a subscription, read in the main loop and handed to `handler`
// (type and JSON) as they come. Without an answering socket nothing comes.
// Created and destroyed on the main thread.
class SwayEvents {
 public:
  using Handler = std::function<void(std::uint32_t type, const nlohmann::json& event)>;
  SwayEvents(const SwayIpc& ipc, const std::string& events, Handler handler);
  ~SwayEvents();
  SwayEvents(const SwayEvents&) = delete;
  SwayEvents& operator=(const SwayEvents&) = delete;

  // Whether events still come: sway accepted and has not closed the connection.
  bool open() const { return source_ != 0; }

 private:
  bool read();

  Handler handler_;
  int fd_ = -1;
  guint source_ = 0;
  std::string stream_;
};

}  // namespace zorv::linux_desktop
