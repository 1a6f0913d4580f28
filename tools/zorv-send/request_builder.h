#pragma once
// Turns the command line of zorv-send into the document of one request.

#include <string>
#include <variant>
#include <vector>

namespace zorv::send {

struct UsageError {
  std::string message;
};

// `arguments` excludes the program name. "--json TEXT" passes TEXT through as it
// is; otherwise the first argument names the kind and the rest are its fields.
std::variant<std::string, UsageError> buildRequest(const std::vector<std::string>& arguments);

extern const char* const kUsage;

}  // namespace zorv::send
