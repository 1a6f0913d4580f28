#pragma once
// Core events to the system process, the process that runs the login window:
// 'slep' puts the computer to sleep.

#include <cstdint>
#include <string>

#include "port/apple_events.h"
#include "support/error.h"

namespace zorv::helper {

inline constexpr port::FourCharCode kTypeProcessSerialNumber = port::fourCharCode("psn ");
inline constexpr port::FourCharCode kCoreEventClass = port::fourCharCode("aevt");
inline constexpr port::FourCharCode kAESleep = port::fourCharCode("slep");
// Ticks of 1/60 s.
inline constexpr std::int64_t kSendTimeoutTicks = 1000;

// A failed event call: the domain names the call ("AECreateDesc",
// "AECreateAppleEvent", "AESendMessage"), the code is the status it returned.
class AppleEventError : public support::Error {
 public:
  AppleEventError(std::string domain, std::int64_t code)
      : support::Error(support::standardErrorDescription(domain, code)),
        domain_(std::move(domain)),
        code_(code) {}
  const std::string& domain() const { return domain_; }
  std::int64_t code() const { return code_; }

 private:
  std::string domain_;
  std::int64_t code_;
};

class LoginWindow {
 public:
  // Sends the core event `eventID` to the system process without waiting for an
  // answer. Throws AppleEventError; every descriptor made is disposed either way.
  static void sendCoreEvent(port::AppleEvents& events, port::FourCharCode eventID);
};

}  // namespace zorv::helper
