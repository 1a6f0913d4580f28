#pragma once
// Child processes and the pipes that carry their output.

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
  // Blocks until every writer has closed its end.
  virtual std::vector<std::uint8_t> readDataToEndOfFile() = 0;
};

// One child process. Configure it, then launch it once.
class Task {
 public:
  virtual ~Task() = default;
  virtual void setLaunchPath(const std::string& path) = 0;
  virtual void setArguments(const std::vector<std::string>& arguments) = 0;
  virtual void setEnvironment(const std::map<std::string, std::string>& environment) = 0;
  virtual void setStandardError(std::shared_ptr<Pipe> pipe) = 0;
  virtual void setStandardOutput(std::shared_ptr<Pipe> pipe) = 0;
  // Starts the child; an error when it cannot be started.
  virtual std::optional<PlatformError> launch() = 0;
  virtual void waitUntilExit() = 0;
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
  // The user's temporary directory, ending in a path separator.
  virtual std::string temporaryDirectory() = 0;
  // Writes a complete new file that replaces any file of the same name.
  virtual std::optional<PlatformError> writeAtomically(const std::string& path,
                                                       const std::string& contents) = 0;
};

}  // namespace zorv::port
