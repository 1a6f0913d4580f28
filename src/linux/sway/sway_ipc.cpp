#include "linux/sway/sway_ipc.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zorv::linux_desktop {
namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kHeaderSize = sizeof kMagic + 8;

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool transfer(int fd, char* data, std::size_t size, bool writing, Clock::time_point deadline) {
  std::size_t done = 0;
  while (done < size) {
    pollfd p{fd, static_cast<short>(writing ? POLLOUT : POLLIN), 0};
    if (poll(&p, 1, remainingMs(deadline)) <= 0) return false;
    const ssize_t n = writing ? send(fd, data + done, size - done, MSG_NOSIGNAL)
                              : recv(fd, data + done, size - done, 0);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Sends one message on `fd` and reads the reply's JSON.
std::optional<nlohmann::json> exchange(int fd, SwayIpc::Message type, const std::string& payload,
                                       Clock::time_point deadline) {
  std::string message(kMagic, sizeof kMagic);
  const std::uint32_t header[2] = {static_cast<std::uint32_t>(payload.size()),
                                   static_cast<std::uint32_t>(type)};
  message.append(reinterpret_cast<const char*>(header), sizeof header);
  message += payload;
  char head[kHeaderSize];
  if (!transfer(fd, message.data(), message.size(), true, deadline) ||
      !transfer(fd, head, sizeof head, false, deadline) ||
      std::memcmp(head, kMagic, sizeof kMagic) != 0) {
    return std::nullopt;
  }
  std::uint32_t length = 0;
  std::memcpy(&length, head + sizeof kMagic, sizeof length);
  std::string body(length, '\0');
  if (!transfer(fd, body.data(), body.size(), false, deadline)) return std::nullopt;
  auto json = nlohmann::json::parse(body, nullptr, false);
  if (json.is_discarded()) return std::nullopt;
  return json;
}

}  // namespace

int SwayIpc::connectSocket() const {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.empty() || path_.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::optional<nlohmann::json> SwayIpc::request(Message type, const std::string& payload,
                                               std::chrono::milliseconds timeout) const {
  const int fd = connectSocket();
  if (fd < 0) return std::nullopt;
  auto reply = exchange(fd, type, payload, Clock::now() + timeout);
  close(fd);
  return reply;
}

int SwayIpc::subscribe(const std::string& events, std::chrono::milliseconds timeout) const {
  const int fd = connectSocket();
  if (fd < 0) return -1;
  auto reply = exchange(fd, Message::subscribe, events, Clock::now() + timeout);
  if (!reply || !reply->is_object() || !reply->value("success", false) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::optional<std::pair<std::uint32_t, nlohmann::json>> SwayIpc::takeMessage(std::string& stream) {
  if (stream.size() < kHeaderSize) return std::nullopt;
  if (std::memcmp(stream.data(), kMagic, sizeof kMagic) != 0) {
    stream.clear();  // not sway's protocol: nothing more can be read of it
    return std::nullopt;
  }
  std::uint32_t header[2];
  std::memcpy(header, stream.data() + sizeof kMagic, sizeof header);
  if (stream.size() < kHeaderSize + header[0]) return std::nullopt;
  auto json = nlohmann::json::parse(stream.begin() + kHeaderSize,
                                    stream.begin() + std::ptrdiff_t(kHeaderSize + header[0]),
                                    nullptr, false);
  stream.erase(0, kHeaderSize + header[0]);
  return std::pair{header[1], std::move(json)};
}

bool SwayIpc::command(const std::string& commands) const {
  auto reply = request(Message::runCommand, commands);
  if (!reply || !reply->is_array() || reply->empty()) return false;
  for (const auto& result : *reply) {
    if (!result.is_object() || !result.value("success", false)) return false;
  }
  return true;
}

SwayEvents::SwayEvents(const SwayIpc& ipc, const std::string& events, Handler handler)
    : handler_(std::move(handler)), fd_(ipc.subscribe(events)) {
  if (fd_ < 0) return;
  source_ = g_unix_fd_add(
      fd_, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
      [](gint, GIOCondition, gpointer self) -> gboolean {
        auto* stream = static_cast<SwayEvents*>(self);
        if (stream->read()) return G_SOURCE_CONTINUE;
        stream->source_ = 0;
        return G_SOURCE_REMOVE;
      },
      this);
}

SwayEvents::~SwayEvents() {
  if (source_) g_source_remove(source_);
  if (fd_ >= 0) close(fd_);
}

bool SwayEvents::read() {
  char buffer[4096];
  ssize_t n;
  while ((n = recv(fd_, buffer, sizeof buffer, 0)) > 0) {
    stream_.append(buffer, static_cast<std::size_t>(n));
  }
  // A compositor that went away ends the session; its events end here.
  const bool open = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
  while (auto message = SwayIpc::takeMessage(stream_)) handler_(message->first, message->second);
  return open;
}

}  // namespace zorv::linux_desktop
