#pragma once
// Attribute values as the element layer hands them out: an element becomes a
// UIElement, the platform's boxed values become points, sizes, rectangles,
// ranges and error codes, and everything else keeps its platform form.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "port/value.h"
#include "support/error.h"

namespace zorv::ax {

class UIElement;
using UIElementPtr = std::shared_ptr<UIElement>;

struct AXValue {
  using Kind = std::variant<UIElementPtr, port::Point, port::Size, port::Rect, port::Range,
                            port::ErrorValue, std::string, port::Number, bool, port::Array,
                            port::Dictionary, port::OtherObject>;
  Kind kind;
};

// Asking for a value as a type it does not have is a mistake of the caller.
class TypeMismatch : public support::Error {
 public:
  using Error::Error;
};

// The value as T: AXValue itself, std::string, bool, std::int64_t, double,
// UIElementPtr, port::Point, port::Size, port::Rect, port::Range, port::Array,
// port::Dictionary. Throws TypeMismatch for a value of another kind.
template <class T>
T convert(const AXValue& value);

template <>
AXValue convert<AXValue>(const AXValue&);
template <>
std::string convert<std::string>(const AXValue&);
template <>
bool convert<bool>(const AXValue&);
template <>
double convert<double>(const AXValue&);
template <>
std::int64_t convert<std::int64_t>(const AXValue&);
template <>
UIElementPtr convert<UIElementPtr>(const AXValue&);
template <>
port::Point convert<port::Point>(const AXValue&);
template <>
port::Size convert<port::Size>(const AXValue&);
template <>
port::Rect convert<port::Rect>(const AXValue&);
template <>
port::Range convert<port::Range>(const AXValue&);
template <>
port::Array convert<port::Array>(const AXValue&);
template <>
port::Dictionary convert<port::Dictionary>(const AXValue&);

}  // namespace zorv::ax
