#pragma once
// Child processes with posix_spawn. A child gets exactly the environment it is
// given (none by default), no descriptor but 0, 1 and 2, default signal
// handling, and is always reaped: one supervisor thread per PosixTasks waits for
// the ends of all its children and keeps each task alive until then. A child
// asked to terminate that is still there after a grace period is killed.
//
// Shutting PosixTasks down (or destroying it) joins that thread and releases
// every reader blocked on a pipe of its children; no thread of it is left
// behind. Children still running are left to run (they are no longer watched),
// except those already asked to terminate, which are killed at once.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "port/tasks.h"

namespace zorv::linux_desktop {

class ChildSupervisor;

class PosixPipe : public port::Pipe {
 public:
  // A read gives up (and returns nothing) once `supervisor` has shut down.
  explicit PosixPipe(std::shared_ptr<ChildSupervisor> supervisor = nullptr);
  ~PosixPipe() override;
  PosixPipe(const PosixPipe&) = delete;
  PosixPipe& operator=(const PosixPipe&) = delete;

  std::vector<std::uint8_t> readDataToEndOfFile() override;

  bool valid() const { return readEnd_ >= 0; }
  int writeEnd() const { return writeEnd_; }
  // After the child has its copy: from then on only the child holds it open.
  void closeWriteEnd();

 private:
  std::shared_ptr<ChildSupervisor> supervisor_;
  int readEnd_ = -1;
  int writeEnd_ = -1;
};

class PosixTask : public port::Task, public std::enable_shared_from_this<PosixTask> {
 public:
  explicit PosixTask(std::shared_ptr<ChildSupervisor> supervisor)
      : supervisor_(std::move(supervisor)) {}
  ~PosixTask() override = default;
  PosixTask(const PosixTask&) = delete;
  PosixTask& operator=(const PosixTask&) = delete;

  void setLaunchPath(const std::string& path) override { launchPath_ = path; }
  void setArguments(const std::vector<std::string>& arguments) override { arguments_ = arguments; }
  void setEnvironment(const std::map<std::string, std::string>& environment) override {
    environment_ = environment;
  }
  void setStandardError(std::shared_ptr<port::Pipe> pipe) override;
  void setStandardOutput(std::shared_ptr<port::Pipe> pipe) override;
  void discardStandardOutput() override;
  std::optional<port::PlatformError> launch() override;
  void waitUntilExit() override;
  // SIGTERM; SIGKILL when the child has not ended kTerminateGrace later.
  void terminate() override;
  std::optional<std::string> launchPath() const override { return launchPath_; }
  std::string description() const override;

  // The child's process id once launched, else 0.
  pid_t processIdentifier() const;
  // The wait status (as waitpid gives it) once the child has ended.
  std::optional<int> terminationStatus() const;

  // How long a child may take to end after the terminate signal.
  static constexpr std::chrono::seconds kTerminateGrace{2};

 private:
  friend class ChildSupervisor;
  // What the supervisor shares with the task.
  struct Child {
    std::mutex mutex;
    std::condition_variable ended;
    pid_t pid = 0;
    bool reaped = false;
    int status = 0;
    bool killPending = false;  // the supervisor kills it when the grace period is over
  };

  std::shared_ptr<ChildSupervisor> supervisor_;
  std::optional<std::string> launchPath_;
  std::vector<std::string> arguments_;
  std::map<std::string, std::string> environment_;
  std::shared_ptr<PosixPipe> standardError_;
  std::shared_ptr<PosixPipe> standardOutput_;
  bool discardOutput_ = false;
  bool launched_ = false;
  std::shared_ptr<Child> child_ = std::make_shared<Child>();
};

class PosixTasks : public port::Tasks {
 public:
  PosixTasks();
  ~PosixTasks() override;
  PosixTasks(const PosixTasks&) = delete;
  PosixTasks& operator=(const PosixTasks&) = delete;

  std::shared_ptr<port::Task> createTask() override;
  std::shared_ptr<port::Pipe> createPipe() override;
  // Ends the watching (see above); a launch after it fails. Any thread.
  void shutdown();

 private:
  std::shared_ptr<ChildSupervisor> supervisor_;
};

}  // namespace zorv::linux_desktop
