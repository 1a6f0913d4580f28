#include "helper/login_window.h"

#include <utility>

namespace zorv::helper {
namespace {

// Owns one descriptor of the port and disposes it when it goes.
class Descriptor {
 public:
  Descriptor(port::AppleEvents& events, port::DescriptorId id) : events_(events), id_(id) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  port::DescriptorId get() const { return id_; }
  // Where the port writes a descriptor it hands out (the reply of a send).
  port::DescriptorId& out() { return id_; }
  void reset() {
    if (id_ != 0) events_.disposeDesc(std::exchange(id_, 0));
  }

 private:
  port::AppleEvents& events_;
  port::DescriptorId id_;
};

// The system process: high half 0, low half 1 (kSystemProcess), high half first.
std::vector<std::uint8_t> systemProcessSerialNumber() {
  constexpr std::uint32_t high = 0;
  constexpr std::uint32_t low = 1;
  std::vector<std::uint8_t> bytes(8);
  for (int i = 0; i < 4; ++i) {
    bytes[std::size_t(i)] = std::uint8_t(high >> (24 - 8 * i));
    bytes[std::size_t(4 + i)] = std::uint8_t(low >> (24 - 8 * i));
  }
  return bytes;
}

}  // namespace

void LoginWindow::sendCoreEvent(port::AppleEvents& events, port::FourCharCode eventID) {
  const auto target = events.createDesc(kTypeProcessSerialNumber, systemProcessSerialNumber());
  Descriptor targetDesc(events, target.descriptor);
  if (target.status != port::kSuccess) throw AppleEventError("AECreateDesc", target.status);

  const auto event = events.createAppleEvent(kCoreEventClass, eventID, targetDesc.get(),
                                             port::kAutoGenerateReturnID, port::kAnyTransactionID);
  Descriptor eventDesc(events, event.descriptor);
  if (event.status != port::kSuccess) throw AppleEventError("AECreateAppleEvent", event.status);
  // The event holds its own copy of the target.
  targetDesc.reset();

  Descriptor reply(events, 0);
  const auto status =
      events.sendMessage(eventDesc.get(), reply.out(), port::kAENoReply, kSendTimeoutTicks);
  eventDesc.reset();
  reply.reset();
  if (status != port::kSuccess) throw AppleEventError("AESendMessage", status);
}

}  // namespace zorv::helper
