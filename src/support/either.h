#pragma once
// A value that is one of two cases, `left` or `right`. Unlike a plain variant it
// keeps the two cases apart even when both carry the same type.

#include <utility>
#include <variant>

namespace zorv::support {

template <class Left, class Right>
class Either {
 public:
  static Either left(Left value) { return Either(std::in_place_index<0>, std::move(value)); }
  static Either right(Right value) { return Either(std::in_place_index<1>, std::move(value)); }

  bool isLeft() const { return value_.index() == 0; }
  bool isRight() const { return value_.index() == 1; }
  const Left* leftValue() const { return isLeft() ? &std::get<0>(value_) : nullptr; }
  const Right* rightValue() const { return isRight() ? &std::get<1>(value_) : nullptr; }

  // Equal only within one case, with equal payloads.
  friend bool operator==(const Either& a, const Either& b) { return a.value_ == b.value_; }

 private:
  template <std::size_t I, class T>
  Either(std::in_place_index_t<I> index, T&& value) : value_(index, std::forward<T>(value)) {}
  std::variant<Left, Right> value_;
};

}  // namespace zorv::support
