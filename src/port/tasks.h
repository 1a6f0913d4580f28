#pragma once
// Child processes and the pipes that carry their output.
// Threads: tasks are created, configured, launched and waited for on the main
// thread; terminate(), launchPath() and description() also come from a worker
// (the run-time limit), and a pipe is read on a worker or a thread of the
// caller's. Files: any thread.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/workspace.h"

namespace zorv::port {

class Pipe {
 public:
  virtual ~Pipe() = default;
  // Blocks until every writer has closed its end, or until the platform shuts
  // down: then it returns nothing, and the run it belongs to goes unreported.
  virtual std::vector<std::uint8_t> readDataToEndOfFile() = 0;
};

// One child process. Configure it, then launch it once. While the child runs
// the platform keeps a reference to its task; once it has ended and been
// reaped, the task lives only as long as its other owners keep it.
class Task {
 public:
  virtual ~Task() = default;
  virtual void setLaunchPath(const std::string& path) = 0;
  virtual void setArguments(const std::vector<std::string>& arguments) = 0;
  virtual void setEnvironment(const std::map<std::string, std::string>& environment) = 0;
  virtual void setStandardError(std::shared_ptr<Pipe> pipe) = 0;
  virtual void setStandardOutput(std::shared_ptr<Pipe> pipe) = 0;
  // Connects the child's standard output to the null device.
  virtual void discardStandardOutput() = 0;
  // Starts the child; an error when it cannot be started (missing, not
  // executable, not a file), reported as a value instead of the platform's
  // exception. The parent's copies of the pipes' writing ends are closed, so a
  // reader sees the end of the file once the child has closed its own.
  virtual std::optional<PlatformError> launch() = 0;
  virtual void waitUntilExit() = 0;
  // Asks the child to end (the platform's terminate signal); nothing when it has
  // ended. A backend may end a child that does not comply by force, after a grace
  // period.
  virtual void terminate() = 0;
  virtual std::optional<std::string> launchPath() const = 0;
  virtual std::string description() const = 0;
};

class Tasks {
 public:
  virtual ~Tasks() = default;
  virtual std::shared_ptr<Task> createTask() = 0;
  virtual std::shared_ptr<Pipe> createPipe() = 0;
};

class Files {
 public:
  virtual ~Files() = default;
  // The user's own temporary directory (no other user can write there), an
  // absolute path ending in a path separator.
  virtual std::string temporaryDirectory() = 0;
  // The process's current directory, an absolute path.
  virtual std::string currentDirectoryPath() = 0;
  // Whether something exists at `path`, and if so whether it is a directory
  // (symbolic links followed).
  virtual bool fileExistsAtPath(const std::string& path, bool& isDirectory) = 0;
  // Writes a complete new file, readable and writable by the owner only, under
  // `path` only when nothing has that name: an existing file (or link, or
  // folder) is never replaced, and of two writes at once to one name only one
  // succeeds. A taken name fails with `isFileExistsError`; readers see no file
  // or the complete one.
  virtual std::optional<PlatformError> writeNewFile(const std::string& path,
                                                    const std::string& contents) = 0;
};

// The error of a new-file write whose name is taken (the platform's "file
// exists" error of its file-writing domain).
inline constexpr const char* kFileErrorDomain = "NSCocoaErrorDomain";
inline constexpr std::int64_t kFileWriteFileExistsError = 516;
inline bool isFileExistsError(const PlatformError& error) {
  return error.domain == kFileErrorDomain && error.code == kFileWriteFileExistsError;
}

}  // namespace zorv::port
