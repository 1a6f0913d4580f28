#pragma once
// Scalar types that cross the platform port.
// Threads: plain values, free to cross threads.

#include <cstdint>

namespace zorv::port {

// A process identifier, as the platform gives it.
using Pid = std::int32_t;

// A platform status code (accessibility result codes, OS statuses): always a signed
// 32-bit integer so that every backend reports the same numbers.
using StatusCode = std::int32_t;

inline constexpr StatusCode kSuccess = 0;

}  // namespace zorv::port
