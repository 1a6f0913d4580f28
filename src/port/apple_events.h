#pragma once
// Apple-event style requests to system processes. Descriptors are created and
// disposed explicitly, as the platform does; the core wraps them for ownership.
// Threads: every call on the main thread.

#include <cstdint>
#include <vector>

#include "port/types.h"

namespace zorv::port {

using FourCharCode = std::uint32_t;

constexpr FourCharCode fourCharCode(const char (&code)[5]) {
  return (FourCharCode(std::uint8_t(code[0])) << 24) | (FourCharCode(std::uint8_t(code[1])) << 16) |
         (FourCharCode(std::uint8_t(code[2])) << 8) | FourCharCode(std::uint8_t(code[3]));
}

// A descriptor handle; 0 is the null descriptor.
using DescriptorId = std::uint64_t;

struct DescriptorResult {
  StatusCode status = kSuccess;
  DescriptorId descriptor = 0;
};

inline constexpr std::int16_t kAutoGenerateReturnID = -1;
inline constexpr std::int32_t kAnyTransactionID = 0;
inline constexpr std::int32_t kAENoReply = 1;

class AppleEvents {
 public:
  virtual ~AppleEvents() = default;
  virtual DescriptorResult createDesc(FourCharCode type, const std::vector<std::uint8_t>& data) = 0;
  virtual DescriptorResult createAppleEvent(FourCharCode eventClass, FourCharCode eventID,
                                            DescriptorId target, std::int16_t returnID,
                                            std::int32_t transactionID) = 0;
  // `reply` receives a descriptor to dispose (the null descriptor when none).
  virtual StatusCode sendMessage(DescriptorId event, DescriptorId& reply, std::int32_t sendMode,
                                 std::int64_t timeoutTicks) = 0;
  virtual StatusCode disposeDesc(DescriptorId descriptor) = 0;
};

}  // namespace zorv::port
