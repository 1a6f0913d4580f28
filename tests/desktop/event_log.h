#pragma once
// Every platform call of the in-memory desktop, in order, as one text line each
// ("stdout: in helper", "alert: ...", "AXPress ..."), so that tests can check
// what happened and in which order.

#include <string>
#include <string_view>
#include <vector>

namespace zorv::testing {

class EventLog {
 public:
  void add(std::string line) { lines_.push_back(std::move(line)); }
  const std::vector<std::string>& lines() const { return lines_; }
  void clear() { lines_.clear(); }

  // The lines that start with `prefix`, with the prefix removed.
  std::vector<std::string> withPrefix(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const auto& line : lines_) {
      if (line.starts_with(prefix)) out.push_back(line.substr(prefix.size()));
    }
    return out;
  }

 private:
  std::vector<std::string> lines_;
};

}  // namespace zorv::testing
