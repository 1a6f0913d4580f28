#pragma once
// The base of every error the helper throws: its localized description is the
// text shown to the user or printed.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zorv::support {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& localizedDescription)
      : std::runtime_error(localizedDescription) {}
  std::string localizedDescription() const { return what(); }
};

// The platform's standard text for an error object that carries nothing but its
// domain and code: "The operation couldn’t be completed. (AESendMessage error -600.)"
inline std::string standardErrorDescription(const std::string& domain, std::int64_t code) {
  return "The operation couldn’t be completed. (" + domain + " error " + std::to_string(code) +
         ".)";
}

}  // namespace zorv::support
