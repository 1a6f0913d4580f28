#include "session_bus.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace zorv::send {
namespace {

constexpr char kEndianness = std::endian::native == std::endian::little ? 'l' : 'B';
constexpr std::uint8_t kMethodCall = 1, kMethodReturn = 2, kError = 3, kSignal = 4;
constexpr std::uint8_t kPathField = 1, kInterfaceField = 2, kMemberField = 3, kErrorNameField = 4,
                       kReplySerialField = 5, kDestinationField = 6, kSignatureField = 8;
// What the bus daemon allows a peer at most, and libdbus' default reply timeout.
constexpr std::size_t kMaxMessageBytes = 128 << 20;
constexpr int kTimeoutMs = 25'000;

// A message in the bus' wire format, in this machine's byte order.
class Writer {
 public:
  std::string bytes;
  void pad(std::size_t to) { bytes.resize((bytes.size() + to - 1) / to * to, '\0'); }
  void u8(std::uint8_t value) { bytes.push_back(static_cast<char>(value)); }
  void u32(std::uint32_t value) {
    pad(4);
    bytes.append(reinterpret_cast<const char*>(&value), 4);
  }
  void u32At(std::size_t at, std::size_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    std::memcpy(bytes.data() + at, &v, 4);
  }
  void string(std::string_view text) {
    u32(static_cast<std::uint32_t>(text.size()));
    bytes.append(text);
    u8(0);
  }
  void signature(std::string_view text) {
    u8(static_cast<std::uint8_t>(text.size()));
    bytes.append(text);
    u8(0);
  }
};

struct Field {
  std::uint8_t code;
  char type;  // 'o', 's' or 'g'
  std::string_view value;
};

std::string message(std::uint8_t type, std::uint32_t serial, std::initializer_list<Field> fields,
                    const std::string* body = nullptr) {
  Writer out;
  for (const std::uint8_t byte :
       {std::uint8_t(kEndianness), type, std::uint8_t(0), std::uint8_t(1)})
    out.u8(byte);
  const std::size_t bodyLengthAt = out.bytes.size();
  out.u32(0);
  out.u32(serial);
  const std::size_t fieldsLengthAt = out.bytes.size();
  out.u32(0);
  out.pad(8);
  const std::size_t fieldsStart = out.bytes.size();
  for (const Field& field : fields) {
    out.pad(8);
    out.u8(field.code);
    out.signature(std::string_view(&field.type, 1));
    if (field.type == 'g') {
      out.signature(field.value);
    } else {
      out.string(field.value);
    }
  }
  out.u32At(fieldsLengthAt, out.bytes.size() - fieldsStart);
  out.pad(8);
  if (body) {
    const std::size_t bodyStart = out.bytes.size();
    out.string(*body);
    out.u32At(bodyLengthAt, out.bytes.size() - bodyStart);
  }
  return out.bytes;
}

std::string methodCallToBus(std::uint32_t serial, std::string_view interface,
                            std::string_view member) {
  return message(kMethodCall, serial,
                 {{kPathField, 'o', "/org/freedesktop/DBus"},
                  {kInterfaceField, 's', interface},
                  {kMemberField, 's', member},
                  {kDestinationField, 's', "org.freedesktop.DBus"}});
}

// The parts of a received message's header a sender looks at.
struct Received {
  std::uint8_t type = 0;
  std::uint32_t replySerial = 0;
  std::string errorName;
};

std::uint32_t readU32(const char* at, char endianness) {
  std::uint32_t value;
  std::memcpy(&value, at, 4);
  return endianness == kEndianness ? value : __builtin_bswap32(value);
}

// Reads one message off the front of `buffer`: its length once it is whole, 0
// while it is not, npos when it is malformed.
std::size_t parseMessage(const std::string& buffer, Received& received) {
  if (buffer.size() < 16) return 0;
  const char endianness = buffer[0];
  if (endianness != 'l' && endianness != 'B') return std::string::npos;
  const std::size_t bodyLength = readU32(buffer.data() + 4, endianness);
  const std::size_t fieldsLength = readU32(buffer.data() + 12, endianness);
  if (bodyLength > kMaxMessageBytes || fieldsLength > kMaxMessageBytes) return std::string::npos;
  const std::size_t fieldsEnd = 16 + fieldsLength;
  const std::size_t total = (fieldsEnd + 7) / 8 * 8 + bodyLength;
  if (buffer.size() < total) return 0;
  received = {static_cast<std::uint8_t>(buffer[1]), 0, {}};
  std::size_t at = 16;
  const auto align = [&](std::size_t to) { at = (at + to - 1) / to * to; };
  while (at < fieldsEnd) {
    align(8);
    if (at + 3 > fieldsEnd || buffer[at + 1] != 1) return std::string::npos;
    const auto code = static_cast<std::uint8_t>(buffer[at]);
    const char type = buffer[at + 2];
    at += 4;  // code, signature length 1, type, NUL
    std::size_t length = 0;
    if (type == 'g') {
      if (at >= fieldsEnd) return std::string::npos;
      length = static_cast<std::uint8_t>(buffer[at]);
      at += 1;
    } else {
      align(4);
      if (at + 4 > fieldsEnd) return std::string::npos;
      length = readU32(buffer.data() + at, endianness);
      at += 4;
      if (type == 'u' || type == 'h') {
        if (code == kReplySerialField) received.replySerial = static_cast<std::uint32_t>(length);
        continue;
      }
      if (type != 's' && type != 'o') return std::string::npos;
    }
    if (length >= fieldsEnd - std::min(at, fieldsEnd)) return std::string::npos;
    if (code == kErrorNameField) received.errorName.assign(buffer, at, length);
    at += length + 1;
  }
  return total;
}

std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const std::string hex(text.substr(i + 1, 2));
      char* end = nullptr;
      const long value = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        out += static_cast<char>(value);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

int connectTo(const SocketAddress& address) {
  sockaddr_un name{};
  name.sun_family = AF_UNIX;
  const std::size_t offset = address.abstract ? 1 : 0;
  if (address.path.size() + offset >= sizeof(name.sun_path)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(name.sun_path + offset, address.path.data(), address.path.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                             address.path.size() + (address.abstract ? 0 : 1));
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&name), length) == 0) return fd;
  const int saved = errno;
  close(fd);
  errno = saved;
  return -1;
}

bool sendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// Appends what arrives before the deadline; false on an error, end or timeout.
bool receiveMore(int fd, std::string& buffer, std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  pollfd ready{fd, POLLIN, 0};
  const int polled = poll(&ready, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
  if (polled <= 0) return polled < 0 && errno == EINTR;
  char chunk[4096];
  const ssize_t got = recv(fd, chunk, sizeof chunk, 0);
  if (got < 0) return errno == EINTR;
  if (got == 0) return false;
  buffer.append(chunk, static_cast<std::size_t>(got));
  return true;
}

std::optional<std::string> converse(int fd, const std::string& signal) {
  // Everything in one write: the authentication, Hello, the signal, and a call
  // whose reply proves the bus has dispatched the signal before it (a bus
  // handles a peer's messages in order). One round trip in all.
  std::string uid = std::to_string(geteuid()), hexUid;
  for (const char digit : uid) {
    static constexpr char kHex[] = "0123456789abcdef";
    hexUid += kHex[static_cast<unsigned char>(digit) >> 4];
    hexUid += kHex[digit & 0xf];
  }
  std::string out = std::string(1, '\0') + "AUTH EXTERNAL " + hexUid + "\r\nBEGIN\r\n";
  out += methodCallToBus(1, "org.freedesktop.DBus", "Hello");
  out += signal;
  out += methodCallToBus(3, "org.freedesktop.DBus", "GetId");
  if (!sendAll(fd, out)) return std::string("cannot write to the bus: ") + std::strerror(errno);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
  std::string buffer;
  std::size_t lineEnd;
  while ((lineEnd = buffer.find("\r\n")) == std::string::npos) {
    if (!receiveMore(fd, buffer, deadline)) return "the bus did not answer the authentication";
  }
  if (buffer.compare(0, 3, "OK ") != 0) {
    return "the bus refused the authentication: " + buffer.substr(0, lineEnd);
  }
  buffer.erase(0, lineEnd + 2);
  for (;;) {
    Received received;
    const std::size_t length = parseMessage(buffer, received);
    if (length == std::string::npos) return "the bus sent a malformed message";
    if (length == 0) {
      if (!receiveMore(fd, buffer, deadline)) return "the bus closed the connection";
      continue;
    }
    buffer.erase(0, length);
    if (received.type == kError && (received.replySerial == 1 || received.replySerial == 3)) {
      return "the bus answered " + received.errorName;
    }
    if (received.type == kMethodReturn && received.replySerial == 3) return std::nullopt;
  }
}

}  // namespace

std::vector<SocketAddress> socketAddresses(std::string_view address) {
  std::vector<SocketAddress> found;
  while (!address.empty()) {
    const std::size_t end = std::min(address.find(';'), address.size());
    std::string_view entry = address.substr(0, end);
    address.remove_prefix(std::min(end + 1, address.size()));
    if (entry.substr(0, 5) != "unix:") continue;
    entry.remove_prefix(5);
    while (!entry.empty()) {
      const std::size_t pairEnd = std::min(entry.find(','), entry.size());
      const std::string_view pair = entry.substr(0, pairEnd);
      entry.remove_prefix(std::min(pairEnd + 1, entry.size()));
      const std::size_t equals = pair.find('=');
      if (equals == std::string_view::npos) continue;
      const std::string_view key = pair.substr(0, equals);
      if (key == "path" || key == "abstract") {
        found.push_back({unescaped(pair.substr(equals + 1)), key == "abstract"});
        break;
      }
    }
  }
  return found;
}

std::vector<SocketAddress> sessionBusSockets() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) {
    return socketAddresses(address);
  }
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    return {{std::string(runtime) + "/bus", false}};
  }
  return {};
}

bool isValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      if (lead == 0) return false;
      ++i;
      continue;
    }
    std::size_t more;
    std::uint32_t code, least;
    if ((lead & 0xe0) == 0xc0) {
      more = 1, code = lead & 0x1f, least = 0x80;
    } else if ((lead & 0xf0) == 0xe0) {
      more = 2, code = lead & 0x0f, least = 0x800;
    } else if ((lead & 0xf8) == 0xf0) {
      more = 3, code = lead & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      code = code << 6 | (next & 0x3f);
    }
    if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
    i += more + 1;
  }
  return true;
}

std::optional<std::string> emitStringSignal(const std::vector<SocketAddress>& bus,
                                            const std::string& path, const std::string& interface,
                                            const std::string& member, const std::string& text) {
  if (bus.empty()) {
    return "no session bus socket (only unix:path and unix:abstract addresses are supported; "
           "without DBUS_SESSION_BUS_ADDRESS, $XDG_RUNTIME_DIR/bus)";
  }
  const std::string signal = message(kSignal, 2,
                                     {{kPathField, 'o', path},
                                      {kInterfaceField, 's', interface},
                                      {kMemberField, 's', member},
                                      {kSignatureField, 'g', "s"}},
                                     &text);
  std::string failure;
  for (const SocketAddress& address : bus) {
    const int fd = connectTo(address);
    if (fd < 0) {
      failure = (address.abstract ? "@" : "") + address.path + ": " + std::strerror(errno);
      continue;
    }
    auto error = converse(fd, signal);
    close(fd);
    return error;
  }
  return "cannot connect to " + failure;
}

}  // namespace zorv::send
