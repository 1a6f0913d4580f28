#pragma once
// Platform values as the accessibility interface hands them over: element
// references with the platform's identity, and a dynamically typed value.
// Threads: created and used on the main thread, with the accessibility interface.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "port/types.h"

namespace zorv::port {

// A reference to one accessibility element of some process. Two references may
// name the same element; `equals` is the platform's equality for that.
class Element {
 public:
  virtual ~Element() = default;
  virtual bool equals(const Element& other) const = 0;
  virtual std::size_t hash() const = 0;
  // The platform's own textual rendering of the reference (for diagnostics).
  virtual std::string description() const = 0;
};

// Shared ownership stands for the platform's retain/release.
using ElementRef = std::shared_ptr<const Element>;

inline bool sameElement(const ElementRef& a, const ElementRef& b) {
  if (!a || !b) return a == b;
  return a == b || a->equals(*b);
}

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};
struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};
struct Rect {
  Point origin;
  Size size;
  bool operator==(const Rect&) const = default;
};
struct Range {
  std::int64_t location = 0;
  std::int64_t length = 0;
  bool operator==(const Range&) const = default;
};
// A boxed accessibility result code (an attribute whose value is an error).
struct ErrorValue {
  StatusCode code = 0;
  bool operator==(const ErrorValue&) const = default;
};
// A number as the platform stores it: integral or floating.
struct Number {
  std::variant<std::int64_t, double> value;
  bool operator==(const Number&) const = default;
};
// Any platform object the port has no kind for; carried through untouched.
struct OtherObject {
  std::string typeName;
  std::shared_ptr<const void> object;
  bool operator==(const OtherObject& o) const { return object == o.object; }
};

struct Value;
using Array = std::vector<Value>;
using Dictionary = std::vector<std::pair<std::string, Value>>;

struct Value {
  using Kind = std::variant<ElementRef, Point, Size, Rect, Range, ErrorValue, std::string, Number,
                            bool, Array, Dictionary, OtherObject>;
  Kind kind;

  Value() : kind(OtherObject{}) {}
  template <class T>
  requires std::is_constructible_v<Kind, T&&> Value(T&& v)
      : kind(std::forward<T>(v)) {}  // NOLINT: implicit on purpose
  Value(const char* s) : kind(std::string(s)) {}

  template <class T>
  const T* get() const {
    return std::get_if<T>(&kind);
  }
};

}  // namespace zorv::port
