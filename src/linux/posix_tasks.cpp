#include "linux/posix_tasks.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace

PosixPipe::PosixPipe() {
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
  try {
    std::thread(&PosixTask::watch, child_, weak_from_this().lock()).detach();
  } catch (const std::system_error& error) {
    // Without a watcher nobody would reap it: end it now.
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::lock_guard lock(child_->mutex);
    child_->reaped = true;
    child_->status = status;
    return posixError(EAGAIN, "The child could not be watched: " + std::string(error.what()));
  }
  return std::nullopt;
}

void PosixTask::watch(std::shared_ptr<Child> child, std::shared_ptr<PosixTask> keepAlive) {
  const pid_t pid = child->pid;
  // Wait without reaping, so that the pid cannot be reused while terminate()
  // might still signal it; reap under the lock.
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
  }
  {
    std::lock_guard lock(child->mutex);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    child->status = status;
    child->reaped = true;
  }
  child->ended.notify_all();
  // From here the task lives only as long as others hold it.
  keepAlive.reset();
}

void PosixTask::waitUntilExit() {
  std::unique_lock lock(child_->mutex);
  if (child_->pid == 0) return;
  child_->ended.wait(lock, [this] { return child_->reaped; });
}

void PosixTask::terminate() {
  std::lock_guard lock(child_->mutex);
  if (child_->pid == 0 || child_->reaped) return;
  ::kill(child_->pid, SIGTERM);
  if (child_->killPending) return;
  // A child that ignores the signal, or handles it and goes on, would run on
  // past its time limit, holding its watcher and its readers with it.
  try {
    std::thread(&PosixTask::killAfterGrace, child_).detach();
    child_->killPending = true;
  } catch (const std::system_error&) {
    // No thread to wait with: the terminate signal is all it gets.
  }
}

void PosixTask::killAfterGrace(std::shared_ptr<Child> child) {
  std::unique_lock lock(child->mutex);
  // Not reaped yet under the lock, so the pid is still the child's.
  if (!child->ended.wait_for(lock, kTerminateGrace, [&] { return child->reaped; })) {
    ::kill(child->pid, SIGKILL);
  }
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

std::shared_ptr<port::Task> PosixTasks::createTask() {
  return std::make_shared<PosixTask>();
}

std::shared_ptr<port::Pipe> PosixTasks::createPipe() {
  return std::make_shared<PosixPipe>();
}

}  // namespace zorv::linux_desktop
