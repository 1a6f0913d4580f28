#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace zorv::e2e {

namespace {

[[noreturn]] void fail(const std::string& what, int error) {
  throw std::system_error(error, std::generic_category(), what);
}

// Direct system calls: glibc 2.36's <sys/pidfd.h> lacks C linkage for C++.
int pidfdOpen(pid_t pid) {
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}
void pidfdSendSignal(int pidfd, int number) {
  ::syscall(SYS_pidfd_send_signal, pidfd, number, nullptr, 0);
}

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

Environment currentEnvironment() {
  Environment env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::size_t eq = text.find('=');
    if (eq != std::string::npos) env[text.substr(0, eq)] = text.substr(eq + 1);
  }
  return env;
}

std::string ExitStatus::describe() const {
  if (signal != 0) return "killed by signal " + std::to_string(signal);
  return "exit code " + std::to_string(code);
}

ChildProcess::ChildProcess(std::vector<std::string> argv, const Environment& env) {
  if (argv.empty()) throw std::invalid_argument("ChildProcess: no program");
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) fail("pipe2", errno);
  if (::pipe2(errPipe, O_CLOEXEC) != 0) {
    const int error = errno;
    ::close(outPipe[0]);
    ::close(outPipe[1]);
    fail("pipe2", error);
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  // Descriptors opened without O_CLOEXEC by any library must not leak either.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  // The child starts with default signal handling and nothing blocked, whatever
  // this process (or GLib's worker threads) changed.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all;
  sigset_t none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  std::vector<std::string> envText;
  for (const auto& [name, value] : env) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : envText) envp.push_back(entry.data());
  envp.push_back(nullptr);

  const int spawned =
      ::posix_spawnp(&pid_, args[0], &actions, &attributes, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  outFd_ = outPipe[0];
  errFd_ = errPipe[0];
  if (spawned != 0) {
    closeFd(outFd_);
    closeFd(errFd_);
    fail("cannot start " + argv[0], spawned);
  }
  // A pidfd makes signals race-free (the pid cannot be reused before we reap)
  // and lets one poll loop watch the streams and the exit together.
  pidfd_ = pidfdOpen(pid_);
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
  if (pidfd_ < 0 || wakeFd_ < 0) {
    const int error = errno;
    ::kill(pid_, SIGKILL);
    int ignored = 0;
    ::waitpid(pid_, &ignored, 0);
    closeFd(outFd_);
    closeFd(errFd_);
    closeFd(pidfd_);
    closeFd(wakeFd_);
    fail("pidfd_open/eventfd", error);
  }
  io_ = std::thread([this] { ioLoop(); });
}

ChildProcess::~ChildProcess() {
  if (running()) terminate();
  // A grandchild may hold the streams open: give them a moment, then stop.
  waitUntil(std::chrono::seconds(1), [this] { return out_.ended && err_.ended; });
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
  io_.join();
  if (!status_) {
    // Only reached when SIGKILL did not end it in time: reap it anyway.
    siginfo_t info{};
    ::waitid(P_PIDFD, static_cast<id_t>(pidfd_), &info, WEXITED);
  }
  closeFd(outFd_);
  closeFd(errFd_);
  closeFd(pidfd_);
  closeFd(wakeFd_);
}

void ChildProcess::append(Capture& capture, const char* data, std::size_t size) {
  capture.partial.append(data, size);
  std::size_t start = 0;
  for (std::size_t newline; (newline = capture.partial.find('\n', start)) != std::string::npos;
       start = newline + 1) {
    capture.lines.push_back(capture.partial.substr(start, newline - start));
  }
  capture.partial.erase(0, start);
}

void ChildProcess::ioLoop() {
  char buffer[8192];
  for (;;) {
    pollfd fds[4];
    nfds_t count = 0;
    auto add = [&](int fd) {
      fds[count].fd = fd;
      fds[count].events = POLLIN;
      fds[count].revents = 0;
      ++count;
    };
    bool reaped = false;
    {
      std::lock_guard lock(mutex_);
      reaped = status_.has_value();
    }
    add(wakeFd_);
    if (outFd_ >= 0) add(outFd_);
    if (errFd_ >= 0) add(errFd_);
    if (!reaped) add(pidfd_);
    if (count == 1) return;
    if (::poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      const int fd = fds[i].fd;
      if (fd == wakeFd_) return;
      if (fd == pidfd_) {
        siginfo_t info{};
        if (::waitid(P_PIDFD, static_cast<id_t>(pidfd_), &info, WEXITED) == 0) {
          ExitStatus status;
          if (info.si_code == CLD_EXITED) {
            status.code = info.si_status;
          } else {
            status.signal = info.si_status;
          }
          std::lock_guard lock(mutex_);
          status_ = status;
        }
        changed_.notify_all();
        continue;
      }
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      Capture& capture = fd == outFd_ ? out_ : err_;
      {
        std::lock_guard lock(mutex_);
        if (n > 0) {
          append(capture, buffer, static_cast<std::size_t>(n));
        } else {
          if (!capture.partial.empty()) capture.lines.push_back(capture.partial);
          capture.partial.clear();
          capture.ended = true;
          closeFd(fd == outFd_ ? outFd_ : errFd_);
        }
      }
      changed_.notify_all();
    }
  }
}

bool ChildProcess::waitUntil(Duration timeout, const std::function<bool()>& condition) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, condition);
}

bool ChildProcess::waitForLine(const std::string& text, Duration timeout, Stream stream,
                               std::size_t from) {
  return waitForLine([&text](const std::string& line) { return line == text; }, timeout, stream,
                     from);
}

bool ChildProcess::waitForLine(const LinePredicate& predicate, Duration timeout, Stream stream,
                               std::size_t from) {
  const Capture& capture = stream == Stream::out ? out_ : err_;
  std::size_t next = from;
  bool found = false;
  waitUntil(timeout, [&] {
    for (; next < capture.lines.size(); ++next) {
      if (predicate(capture.lines[next])) {
        found = true;
        return true;
      }
    }
    return capture.ended;
  });
  return found;
}

std::vector<std::string> ChildProcess::lines(Stream stream) const {
  std::lock_guard lock(mutex_);
  return stream == Stream::out ? out_.lines : err_.lines;
}

std::string ChildProcess::transcript() const {
  std::lock_guard lock(mutex_);
  std::string text;
  for (const std::string& line : out_.lines) text += "out: " + line + "\n";
  if (!out_.partial.empty()) text += "out: " + out_.partial + "\n";
  for (const std::string& line : err_.lines) text += "err: " + line + "\n";
  if (!err_.partial.empty()) text += "err: " + err_.partial + "\n";
  if (status_) text += "(" + status_->describe() + ")\n";
  return text;
}

bool ChildProcess::running() const {
  std::lock_guard lock(mutex_);
  return !status_.has_value();
}

std::optional<ExitStatus> ChildProcess::wait(Duration timeout) {
  waitUntil(timeout, [this] { return status_.has_value(); });
  std::lock_guard lock(mutex_);
  return status_;
}

std::optional<ExitStatus> ChildProcess::finish(Duration timeout) {
  waitUntil(timeout, [this] { return status_.has_value() && out_.ended && err_.ended; });
  std::lock_guard lock(mutex_);
  return status_;
}

void ChildProcess::signal(int number) {
  // Harmless once exited: the pidfd refers to this process only.
  pidfdSendSignal(pidfd_, number);
}

ExitStatus ChildProcess::terminate(Duration grace) {
  if (running()) signal(SIGTERM);
  if (auto status = wait(grace)) return *status;
  signal(SIGKILL);
  if (auto status = wait(kDefaultTimeout)) return *status;
  return ExitStatus{};
}

}  // namespace zorv::e2e
