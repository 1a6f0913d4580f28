#pragma once
// A private headless desktop: tools/headless-desktop started in a fresh
// temporary folder and stopped again by the destructor, which fails the running
// test when anything of the desktop is still running after the stop. The test
// process's own environment is never changed; children get env().

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"

namespace zorv::e2e {

struct HeadlessDesktopOptions {
  bool notifications = true;  // the mock notification daemon on the session bus
  bool logind = true;         // the mock logind on the stand-in system bus
  bool accessibility = true;  // false: org.a11y.Bus cannot even be activated
};

// One process the desktop recorded (DIR/pids).
struct DesktopProcess {
  pid_t pid = 0;
  unsigned long long startTime = 0;  // field 22 of /proc/PID/stat
  std::string name;
  // False once it has ended (a zombie counts as ended), also when its pid now
  // belongs to another process.
  bool running() const;
};

class HeadlessDesktop {
 public:
  // Starts the desktop; throws std::runtime_error with the script's messages
  // when it cannot.
  explicit HeadlessDesktop(HeadlessDesktopOptions options = {});
  // Stops the desktop and removes its folder (kept when ZORV_E2E_KEEP is set).
  ~HeadlessDesktop();
  HeadlessDesktop(const HeadlessDesktop&) = delete;
  HeadlessDesktop& operator=(const HeadlessDesktop&) = delete;

  // The environment for children: this process's, with the desktop's variables
  // replaced or added and those it unsets (NO_AT_BRIDGE, ...) removed.
  const Environment& env() const { return env_; }
  // One variable of env(), or "" when unset.
  std::string variable(const std::string& name) const;
  const std::filesystem::path& dir() const { return dir_; }
  // The processes it started, while it runs.
  std::vector<DesktopProcess> processes() const;

  // Stops the desktop now; true when nothing is left running: no process it
  // recorded, and no process that has its session bus in its environment (such
  // as the accessibility registry, or an application). Idempotent.
  bool stop();

 private:
  std::filesystem::path dir_;
  Environment env_;
  bool running_ = false;
};

std::string readFile(const std::filesystem::path& path);
// The fields of /proc/PID/stat after the command name (state, parent, ...),
// none once it is gone.
std::vector<std::string> procStat(pid_t pid);

}  // namespace zorv::e2e
