#pragma once
// A visitor made of lambdas, one per case of a std::variant.

namespace zorv::support {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
// Written out for compilers without aggregate deduction (clang before 17).
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace zorv::support
