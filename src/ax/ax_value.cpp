#include "ax/ax_value.h"

#include <cmath>

namespace zorv::ax {
namespace {

template <class T>
const T& as(const AXValue& value, const char* what) {
  if (const auto* v = std::get_if<T>(&value.kind)) return *v;
  throw TypeMismatch(std::string("the value is not ") + what);
}

}  // namespace

template <>
AXValue convert<AXValue>(const AXValue& value) {
  return value;
}
template <>
std::string convert<std::string>(const AXValue& value) {
  return as<std::string>(value, "a string");
}
template <>
bool convert<bool>(const AXValue& value) {
  return as<bool>(value, "a boolean");
}
template <>
double convert<double>(const AXValue& value) {
  const auto& number = as<port::Number>(value, "a number");
  if (const auto* i = std::get_if<std::int64_t>(&number.value)) return double(*i);
  return std::get<double>(number.value);
}
template <>
std::int64_t convert<std::int64_t>(const AXValue& value) {
  const auto& number = as<port::Number>(value, "a number");
  if (const auto* i = std::get_if<std::int64_t>(&number.value)) return *i;
  const double d = std::get<double>(number.value);
  if (std::trunc(d) != d || std::fabs(d) >= 9.2e18)
    throw TypeMismatch("the value is not a whole number");
  return static_cast<std::int64_t>(d);
}
template <>
UIElementPtr convert<UIElementPtr>(const AXValue& value) {
  return as<UIElementPtr>(value, "an element");
}
template <>
port::Point convert<port::Point>(const AXValue& value) {
  return as<port::Point>(value, "a point");
}
template <>
port::Size convert<port::Size>(const AXValue& value) {
  return as<port::Size>(value, "a size");
}
template <>
port::Rect convert<port::Rect>(const AXValue& value) {
  return as<port::Rect>(value, "a rectangle");
}
template <>
port::Range convert<port::Range>(const AXValue& value) {
  return as<port::Range>(value, "a range");
}
template <>
port::Array convert<port::Array>(const AXValue& value) {
  return as<port::Array>(value, "an array");
}
template <>
port::Dictionary convert<port::Dictionary>(const AXValue& value) {
  return as<port::Dictionary>(value, "a dictionary");
}

}  // namespace zorv::ax
