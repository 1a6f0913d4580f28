#pragma once
// A program of the test run as a child with the backend's own tasks: exactly
// the given environment, no descriptor but 0, 1 and 2, default signal handling,
// always reaped. Its standard output and standard error go to files, read back
// line by line; standard input is /dev/null. The destructor ends it when it
// still runs (the terminate signal, then the kill signal after a grace period).

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

// This process's environment.
Environment currentEnvironment();

// A new private folder under TMPDIR.
std::filesystem::path makeTempDir(const std::string& prefix);

struct ExitStatus {
  int code = -1;   // the exit code, or -1 when a signal ended the process
  int signal = 0;  // the signal that ended it, or 0
  bool success() const { return signal == 0 && code == 0; }
  std::string describe() const;
};

enum class Stream { out, err };

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
  // satisfies the predicate; false after the time-out or once the process has
  // ended without.
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

}  // namespace zorv::e2e
