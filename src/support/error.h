#pragma once
// The base of every error the helper throws: its localized description is the
// text shown to the user or printed.

#include <stdexcept>
#include <string>

namespace zorv::support {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& localizedDescription)
      : std::runtime_error(localizedDescription) {}
  std::string localizedDescription() const { return what(); }
};

}  // namespace zorv::support
