#pragma once
// The system log as one line on standard error (time stamp, process name and
// pid, text): under a systemd user service it lands in the journal. Standard
// output lines are written whole and flushed at once.

#include <mutex>

#include "port/console.h"

namespace zorv::linux_desktop {

class Console : public port::SystemLog, public port::StandardOutput {
 public:
  void log(const std::string& text) override;
  void writeLine(const std::string& text) override;

 private:
  std::mutex mutex_;  // lines from worker threads must not interleave
};

}  // namespace zorv::linux_desktop
