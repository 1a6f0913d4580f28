#include "ax/ax_error.h"

namespace zorv::ax {

std::string_view axErrorName(port::StatusCode code) {
  switch (code) {
    case ax_error::success:
      return "Success";
    case ax_error::failure:
      return "Failure";
    case ax_error::illegalArgument:
      return "IllegalArgument";
    case ax_error::invalidUIElement:
      return "InvalidUIElement";
    case ax_error::invalidUIElementObserver:
      return "InvalidUIElementObserver";
    case ax_error::cannotComplete:
      return "CannotComplete";
    case ax_error::attributeUnsupported:
      return "AttributeUnsupported";
    case ax_error::actionUnsupported:
      return "ActionUnsupported";
    case ax_error::notificationUnsupported:
      return "NotificationUnsupported";
    case ax_error::notImplemented:
      return "NotImplemented";
    case ax_error::notificationAlreadyRegistered:
      return "NotificationAlreadyRegistered";
    case ax_error::notificationNotRegistered:
      return "NotificationNotRegistered";
    case ax_error::apiDisabled:
      return "APIDisabled";
    case ax_error::noValue:
      return "NoValue";
    case ax_error::parameterizedAttributeUnsupported:
      return "ParameterizedAttributeUnsupported";
    case ax_error::notEnoughPrecision:
      return "NotEnoughPrecision";
    default:
      return "<Unknown>";
  }
}

std::string axErrorDescription(port::StatusCode code) {
  return "AXError." + std::string(axErrorName(code));
}

}  // namespace zorv::ax
