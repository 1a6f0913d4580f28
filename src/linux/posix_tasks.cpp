#include "linux/posix_tasks.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

namespace zorv::linux_desktop {
namespace {

port::PlatformError posixError(int code, const std::string& description) {
  return {"NSPOSIXErrorDomain", code, description};
}

// Why `path` could not be started, in the words a user understands: execve says
// "Permission denied" for a directory.
std::string startFailure(const std::string& path, int code) {
  struct stat info {};
  const char* reason = std::strerror(code);
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) reason = std::strerror(EISDIR);
  return "The file “" + path + "” could not be started: " + reason + ".";
}

void wake(int eventFd) {
  const std::uint64_t one = 1;
  while (::write(eventFd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

}  // namespace

// The one thread that reaps the children of a PosixTasks and kills those whose
// grace period is over. It sleeps in poll() on a pidfd per child, so it needs no
// signal handler and no thread per child.
class ChildSupervisor {
 public:
  using Child = PosixTask::Child;

  ChildSupervisor()
      : stopped_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
        changed_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~ChildSupervisor() {
    shutdown();
    for (int fd : {stopped_, changed_}) {
      if (fd >= 0) ::close(fd);
    }
  }
  ChildSupervisor(const ChildSupervisor&) = delete;
  ChildSupervisor& operator=(const ChildSupervisor&) = delete;

  // Readable (for good) once the supervisor has shut down.
  int stoppedFd() const { return stopped_; }

  // Watches a launched child until it ends; the task lives at least that long.
  // False when it cannot be watched (then nobody reaps it).
  bool watch(std::shared_ptr<Child> child, std::shared_ptr<PosixTask> keepAlive) {
    // By system call: the C library's declaration of it is not usable from C++ everywhere.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child->pid, 0));
    if (pidfd < 0) return false;
    std::lock_guard lock(mutex_);
    bool started = !shutDown_ && stopped_ >= 0 && changed_ >= 0;
    if (started && !thread_.joinable()) {
      try {
        thread_ = std::thread(&ChildSupervisor::run, this);
      } catch (const std::system_error&) {
        started = false;
      }
    }
    if (!started) {
      ::close(pidfd);
      return false;
    }
    watched_.push_back({pidfd, std::move(child), std::move(keepAlive), std::nullopt});
    wake(changed_);
    return true;
  }

  // Kills the child `grace` from now unless it has ended by then.
  void killAfter(const std::shared_ptr<Child>& child, std::chrono::milliseconds grace) {
    std::lock_guard lock(mutex_);
    for (auto& watched : watched_) {
      if (watched.child == child) watched.killAt = std::chrono::steady_clock::now() + grace;
    }
    wake(changed_);
  }

  void shutdown() {
    {
      std::lock_guard lock(mutex_);
      if (shutDown_) return;
      shutDown_ = true;
    }
    if (stopped_ >= 0) wake(stopped_);
    if (thread_.joinable()) thread_.join();
    std::vector<Watched> left;
    {
      std::lock_guard lock(mutex_);
      left.swap(watched_);
    }
    for (auto& watched : left) {
      // Asked to end and given no more time: nobody would be left to end it.
      if (watched.killAt) killUnlessReaped(*watched.child);
      ::close(watched.pidfd);
    }
  }

 private:
  struct Watched {
    int pidfd;
    std::shared_ptr<Child> child;
    std::shared_ptr<PosixTask> keepAlive;
    std::optional<std::chrono::steady_clock::time_point> killAt;
  };

  static void killUnlessReaped(Child& child) {
    std::lock_guard lock(child.mutex);
    // Not reaped yet under the lock, so the pid is still the child's.
    if (!child.reaped) ::kill(child.pid, SIGKILL);
  }

  void run() {
    for (;;) {
      std::vector<pollfd> fds{{stopped_, POLLIN, 0}, {changed_, POLLIN, 0}};
      int timeout = -1;
      {
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        for (const auto& watched : watched_) {
          fds.push_back({watched.pidfd, POLLIN, 0});
          if (!watched.killAt) continue;
          const auto left = std::chrono::ceil<std::chrono::milliseconds>(*watched.killAt - now);
          const int millis = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
          timeout = timeout < 0 ? millis : std::min(timeout, millis);
        }
      }
      if (::poll(fds.data(), fds.size(), timeout) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[0].revents != 0) return;
      std::uint64_t count = 0;
      while (::read(changed_, &count, sizeof count) < 0 && errno == EINTR) {
      }
      // Only this thread removes entries, so the first ones are those polled.
      std::vector<Watched> ended;
      std::vector<std::shared_ptr<Child>> due;
      {
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < watched_.size();) {
          if (i + 2 < fds.size() && fds[i + 2].revents != 0) {
            ended.push_back(std::move(watched_[i]));
            watched_.erase(watched_.begin() + static_cast<std::ptrdiff_t>(i));
            fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i + 2));
            continue;
          }
          if (watched_[i].killAt && *watched_[i].killAt <= now) {
            due.push_back(watched_[i].child);
            watched_[i].killAt.reset();
          }
          ++i;
        }
      }
      for (auto& watched : ended) {
        reap(*watched.child);
        ::close(watched.pidfd);
      }
      for (const auto& child : due) killUnlessReaped(*child);
      // The tasks go here, outside every lock, when nobody else holds them.
    }
  }

  static void reap(Child& child) {
    {
      std::lock_guard lock(child.mutex);
      int status = 0;
      while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
      }
      child.status = status;
      child.reaped = true;
    }
    child.ended.notify_all();
  }

  const int stopped_;
  const int changed_;
  std::mutex mutex_;
  std::vector<Watched> watched_;  // guarded by mutex_
  bool shutDown_ = false;         // guarded by mutex_
  std::thread thread_;
};

PosixPipe::PosixPipe(std::shared_ptr<ChildSupervisor> supervisor)
    : supervisor_(std::move(supervisor)) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return;
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
}

PosixPipe::~PosixPipe() {
  if (readEnd_ >= 0) ::close(readEnd_);
  closeWriteEnd();
}

void PosixPipe::closeWriteEnd() {
  if (writeEnd_ >= 0) ::close(writeEnd_);
  writeEnd_ = -1;
}

std::vector<std::uint8_t> PosixPipe::readDataToEndOfFile() {
  std::vector<std::uint8_t> data;
  if (readEnd_ < 0) return data;
  std::uint8_t buffer[65536];
  for (;;) {
    if (supervisor_) {
      pollfd fds[2] = {{readEnd_, POLLIN, 0}, {supervisor_->stoppedFd(), POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return data;
      }
      // Shut down while the writer still has it open: the run is abandoned.
      if (fds[1].revents != 0) return {};
    }
    const ssize_t count = ::read(readEnd_, buffer, sizeof buffer);
    if (count > 0) {
      data.insert(data.end(), buffer, buffer + count);
    } else if (count == 0 || errno != EINTR) {
      return data;
    }
  }
}

void PosixTask::setStandardError(std::shared_ptr<port::Pipe> pipe) {
  standardError_ = std::dynamic_pointer_cast<PosixPipe>(pipe);
}

void PosixTask::setStandardOutput(std::shared_ptr<port::Pipe> pipe) {
  standardOutput_ = std::dynamic_pointer_cast<PosixPipe>(pipe);
  discardOutput_ = false;
}

void PosixTask::discardStandardOutput() {
  standardOutput_.reset();
  discardOutput_ = true;
}

std::optional<port::PlatformError> PosixTask::launch() {
  if (launched_) return posixError(EBUSY, "The task has already been launched.");
  const std::string path = launchPath_.value_or("");
  // The parent's writing ends go whatever happens, so that no reader waits for
  // a child that never came.
  struct CloseWriteEnds {
    PosixTask& task;
    ~CloseWriteEnds() {
      if (task.standardError_) task.standardError_->closeWriteEnd();
      if (task.standardOutput_) task.standardOutput_->closeWriteEnd();
    }
  } closeWriteEnds{*this};
  if (path.empty()) return posixError(ENOENT, "No launch path was given.");
  for (const auto& pipe : {standardError_, standardOutput_}) {
    if (pipe && (!pipe->valid() || pipe->writeEnd() < 0)) {
      return posixError(EBADF, "The pipe for the child's output could not be made.");
    }
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Standard input stays the helper's own.
  if (standardOutput_) {
    posix_spawn_file_actions_adddup2(&actions, standardOutput_->writeEnd(), STDOUT_FILENO);
  } else if (discardOutput_) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  if (standardError_) {
    posix_spawn_file_actions_adddup2(&actions, standardError_->writeEnd(), STDERR_FILENO);
  }
  // Descriptors that a library opened without O_CLOEXEC must not leak either.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  // Default dispositions and an empty mask, whatever this process (or a worker
  // thread of GLib) changed.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all;
  sigset_t none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<std::string> argvText{path};
  argvText.insert(argvText.end(), arguments_.begin(), arguments_.end());
  std::vector<char*> argv;
  for (auto& argument : argvText) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> envText;
  for (const auto& [name, value] : environment_) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& entry : envText) envp.push_back(entry.data());
  envp.push_back(nullptr);

  pid_t pid = 0;
  // glibc reports a failed exec (missing, not executable, a directory) here.
  const int spawned =
      ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) return posixError(spawned, startFailure(path, spawned));

  launched_ = true;
  {
    std::lock_guard lock(child_->mutex);
    child_->pid = pid;
  }
  if (!supervisor_ || !supervisor_->watch(child_, weak_from_this().lock())) {
    // Without a watcher nobody would reap it: end it now.
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::lock_guard lock(child_->mutex);
    child_->reaped = true;
    child_->status = status;
    return posixError(EAGAIN, "The child could not be watched.");
  }
  return std::nullopt;
}

void PosixTask::waitUntilExit() {
  std::unique_lock lock(child_->mutex);
  if (child_->pid == 0) return;
  child_->ended.wait(lock, [this] { return child_->reaped; });
}

void PosixTask::terminate() {
  {
    std::lock_guard lock(child_->mutex);
    if (child_->pid == 0 || child_->reaped) return;
    ::kill(child_->pid, SIGTERM);
    if (child_->killPending) return;
    child_->killPending = true;
  }
  // A child that ignores the signal, or handles it and goes on, would run on
  // past its time limit, holding its readers with it.
  supervisor_->killAfter(child_, kTerminateGrace);
}

pid_t PosixTask::processIdentifier() const {
  std::lock_guard lock(child_->mutex);
  return child_->pid;
}

std::optional<int> PosixTask::terminationStatus() const {
  std::lock_guard lock(child_->mutex);
  if (!child_->reaped) return std::nullopt;
  return child_->status;
}

std::string PosixTask::description() const {
  return "<PosixTask pid " + std::to_string(processIdentifier()) + " " +
         launchPath_.value_or("(no launch path)") + ">";
}

PosixTasks::PosixTasks() : supervisor_(std::make_shared<ChildSupervisor>()) {}

PosixTasks::~PosixTasks() {
  shutdown();
}

void PosixTasks::shutdown() {
  supervisor_->shutdown();
}

std::shared_ptr<port::Task> PosixTasks::createTask() {
  return std::make_shared<PosixTask>(supervisor_);
}

std::shared_ptr<port::Pipe> PosixTasks::createPipe() {
  return std::make_shared<PosixPipe>(supervisor_);
}

}  // namespace zorv::linux_desktop
