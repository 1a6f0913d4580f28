#pragma once
// A child process with its standard output and standard error captured line by
// line. It is always reaped: the destructor ends it (SIGTERM, then SIGKILL)
// when it still runs. Only descriptors 0, 1 and 2 reach the child; its
// standard input is /dev/null.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zorv::e2e {

using Environment = std::map<std::string, std::string>;
using Duration = std::chrono::milliseconds;

// Generous, since the machine may be busy; waits end as soon as they succeed.
inline constexpr Duration kDefaultTimeout = std::chrono::seconds(10);

// This process's environment.
Environment currentEnvironment();

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

  // argv[0] is looked up in PATH when it has no slash. Throws std::runtime_error
  // when the program cannot be started.
  ChildProcess(std::vector<std::string> argv, const Environment& env);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }

  // True once a line (from line `from` on) equals `text` or satisfies the
  // predicate; false after the time-out or once the stream has ended without one.
  bool waitForLine(const std::string& text, Duration timeout = kDefaultTimeout,
                   Stream stream = Stream::out, std::size_t from = 0);
  bool waitForLine(const LinePredicate& predicate, Duration timeout = kDefaultTimeout,
                   Stream stream = Stream::out, std::size_t from = 0);
  // A snapshot of the lines read so far (a last line without newline counts once
  // the stream has ended).
  std::vector<std::string> lines(Stream stream = Stream::out) const;
  // Both streams, for failure messages.
  std::string transcript() const;

  bool running() const;
  // The exit status once the process has ended, or nullopt after the time-out.
  std::optional<ExitStatus> wait(Duration timeout = kDefaultTimeout);
  // SIGTERM, then SIGKILL when it has not ended within `grace`.
  ExitStatus terminate(Duration grace = std::chrono::seconds(2));
  // Waits for the process to end and both streams to close.
  std::optional<ExitStatus> finish(Duration timeout = kDefaultTimeout);

 private:
  struct Capture {
    std::vector<std::string> lines;
    std::string partial;
    bool ended = false;
  };

  void ioLoop();
  void append(Capture& capture, const char* data, std::size_t size);
  void signal(int number);
  bool waitUntil(Duration timeout, const std::function<bool()>& condition);

  pid_t pid_ = -1;
  int pidfd_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  int wakeFd_ = -1;  // eventfd that asks the I/O thread to stop

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Capture out_;
  Capture err_;
  std::optional<ExitStatus> status_;
  std::thread io_;
};

}  // namespace zorv::e2e
