#pragma once
// A private headless desktop: tools/headless-desktop started in a fresh
// temporary folder and stopped again by the destructor, which fails the running
// test when anything of the desktop is still running after the stop. The test
// process's own environment is never changed; children get env().

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zorv::linux_desktop {
class PosixTask;
}

namespace zorv::e2e {

using Environment = std::map<std::string, std::string>;
using Duration = std::chrono::milliseconds;

// Generous, since the machine may be busy; waits end as soon as they succeed.
inline constexpr Duration kDefaultTimeout = std::chrono::seconds(10);

struct ExitStatus {
  int code = -1;   // the exit code, or -1 when a signal ended the process
  int signal = 0;  // the signal that ended it, or 0
  bool success() const { return signal == 0 && code == 0; }
  std::string describe() const;
};

enum class Stream { out, err };

// A program of the test run as a child with the backend's own tasks (exactly
// the given environment, always reaped); its standard output and error go to
// files, read back line by line. The destructor terminates it if it still runs.
class ChildProcess {
 public:
  using LinePredicate = std::function<bool(const std::string&)>;

  // argv[0] is looked up in the PATH of `env`; a program that cannot be started
  // ends at once with exit code 127.
  ChildProcess(std::vector<std::string> argv, const Environment& env);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const;

  // True once a line of standard output (from line `from` on) equals `text` or
  // satisfies the predicate; false at the time-out or the end of the process.
  bool waitForLine(const std::string& text, std::size_t from = 0,
                   Duration timeout = kDefaultTimeout);
  bool waitForLine(const LinePredicate& predicate, std::size_t from = 0,
                   Duration timeout = kDefaultTimeout);
  // The lines written so far (a last line without newline once it has ended).
  std::vector<std::string> lines(Stream stream = Stream::out) const;
  // Both streams and the exit status, for failure messages.
  std::string transcript() const;

  bool running() const;
  // The exit status once the process has ended, or nullopt after the time-out.
  std::optional<ExitStatus> wait(Duration timeout = kDefaultTimeout);
  // The terminate signal, then the kill signal after the backend's grace period.
  ExitStatus terminate();

 private:
  std::filesystem::path dir_;  // holds the files "out" and "err"
  std::shared_ptr<linux_desktop::PosixTask> task_;
};

struct HeadlessDesktopOptions {
  bool notifications = true;  // the mock notification daemon on the session bus
  bool logind = true;         // the mock logind on the stand-in system bus
  bool accessibility = true;  // false: org.a11y.Bus cannot even be activated
  bool sway = false;          // a headless sway (Wayland) instead of Xvfb and openbox
  bool gnome = false;         // a headless gnome-shell (Wayland) instead of Xvfb and openbox
  bool extension = true;      // with gnome: the helper's shell extension enabled
  bool kde = false;           // a headless KWin (Wayland), which lets the helper type
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
  // Throws std::runtime_error with the script's messages when it cannot start.
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

  // Stops the desktop now; true when no process it recorded, and none with its
  // session bus in its environment (an application, say), is left. Idempotent.
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
