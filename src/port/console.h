#pragma once
// The two text channels: the system log and standard output.
// Threads: any thread (the workers of the file runner write standard output);
// each line comes out whole.

#include <string>

namespace zorv::port {

class SystemLog {
 public:
  virtual ~SystemLog() = default;
  // One line with the platform's prefix (time stamp, process name and id).
  virtual void log(const std::string& text) = 0;
};

class StandardOutput {
 public:
  virtual ~StandardOutput() = default;
  // The text and one line break, flushed at once, with no prefix.
  virtual void writeLine(const std::string& text) = 0;
};

}  // namespace zorv::port
