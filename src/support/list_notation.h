#pragma once
// Lists of strings as the log lines and reports write them: ["a", "b \"c\""].

#include <string>
#include <vector>

namespace zorv::support {

std::string listNotation(const std::vector<std::string>& items);

}  // namespace zorv::support
