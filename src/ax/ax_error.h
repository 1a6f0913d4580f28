#pragma once
// The platform's accessibility result code, carried as a thrown error.

#include <string>
#include <string_view>

#include "port/types.h"
#include "support/error.h"

namespace zorv::ax {

namespace ax_error {
inline constexpr port::StatusCode success = 0;
inline constexpr port::StatusCode failure = -25200;
inline constexpr port::StatusCode illegalArgument = -25201;
inline constexpr port::StatusCode invalidUIElement = -25202;
inline constexpr port::StatusCode invalidUIElementObserver = -25203;
inline constexpr port::StatusCode cannotComplete = -25204;
inline constexpr port::StatusCode attributeUnsupported = -25205;
inline constexpr port::StatusCode actionUnsupported = -25206;
inline constexpr port::StatusCode notificationUnsupported = -25207;
inline constexpr port::StatusCode notImplemented = -25208;
inline constexpr port::StatusCode notificationAlreadyRegistered = -25209;
inline constexpr port::StatusCode notificationNotRegistered = -25210;
inline constexpr port::StatusCode apiDisabled = -25211;
inline constexpr port::StatusCode noValue = -25212;
inline constexpr port::StatusCode parameterizedAttributeUnsupported = -25213;
inline constexpr port::StatusCode notEnoughPrecision = -25214;
}  // namespace ax_error

// "Success", "APIDisabled", ..., or "<Unknown>" for a code outside the table.
std::string_view axErrorName(port::StatusCode code);

// "AXError." followed by the code's name.
std::string axErrorDescription(port::StatusCode code);

class AXError : public support::Error {
 public:
  explicit AXError(port::StatusCode code) : Error(axErrorDescription(code)), code_(code) {}
  port::StatusCode code() const { return code_; }
  static constexpr std::string_view domain = "ApplicationServices.AXError";

 private:
  port::StatusCode code_;
};

}  // namespace zorv::ax
