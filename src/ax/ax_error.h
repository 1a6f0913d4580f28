#pragma once
// The platform's accessibility result code, carried as a thrown error.

#include <string>
#include <string_view>

#include "port/types.h"
#include "support/error.h"

namespace zorv::ax {

namespace ax_error {
inline constexpr port::Status success = 0;
inline constexpr port::Status failure = -25200;
inline constexpr port::Status illegalArgument = -25201;
inline constexpr port::Status invalidUIElement = -25202;
inline constexpr port::Status invalidUIElementObserver = -25203;
inline constexpr port::Status cannotComplete = -25204;
inline constexpr port::Status attributeUnsupported = -25205;
inline constexpr port::Status actionUnsupported = -25206;
inline constexpr port::Status notificationUnsupported = -25207;
inline constexpr port::Status notImplemented = -25208;
inline constexpr port::Status notificationAlreadyRegistered = -25209;
inline constexpr port::Status notificationNotRegistered = -25210;
inline constexpr port::Status apiDisabled = -25211;
inline constexpr port::Status noValue = -25212;
inline constexpr port::Status parameterizedAttributeUnsupported = -25213;
inline constexpr port::Status notEnoughPrecision = -25214;
}  // namespace ax_error

// "Success", "APIDisabled", ..., or "<Unknown>" for a code outside the table.
std::string_view axErrorName(port::Status code);

// "AXError." followed by the code's name.
std::string axErrorDescription(port::Status code);

class AXError : public support::Error {
 public:
  explicit AXError(port::Status code) : Error(axErrorDescription(code)), code_(code) {}
  port::Status code() const { return code_; }
  static constexpr std::string_view domain = "ApplicationServices.AXError";

 private:
  port::Status code_;
};

}  // namespace zorv::ax
