#pragma once
// Running an executable file as a child process: started with an empty
// environment, limited to 10 seconds, and whatever it writes to standard error
// shown to the user (in a text file opened with the default application, or in
// an alert).

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "helper/reporters.h"
#include "port/platform.h"
#include "support/error.h"

namespace zorv::helper {

// A failed run: its description is what the child wrote to standard error, or
// what kept it from starting.
class ExecutableFileLaunchError : public support::Error {
 public:
  explicit ExecutableFileLaunchError(std::optional<std::string> errorDescription);
  const std::optional<std::string>& errorDescription() const { return errorDescription_; }

 private:
  std::optional<std::string> errorDescription_;
};

// "File execution error:\n", the standard-error text (or "failed to read the
// standard error" when it is not UTF-8), "\n\n", the path, "\nwith the
// arguments:\n" and the arguments in list notation.
std::string standardErrorReport(const std::vector<std::uint8_t>& standardError,
                                const std::string& path, const std::vector<std::string>& arguments);

// "message-generated-by-morvek-" + the time rounded to whole seconds (halves
// away from zero) + ".0.txt". Reports of one second share that stamp: the
// `number`th name (from 2 on) has "-" + number before ".txt", so that no report
// replaces another: "message-generated-by-morvek-1733412345.0-2.txt".
std::string messageFileName(double secondsSince1970, int number = 1);

class FileRunner {
 public:
  static constexpr std::chrono::seconds kRunTimeLimit{10};
  // Message files of one second tried before the write is given up.
  static constexpr int kMessageFilesPerSecond = 1000;

  FileRunner(port::Platform& platform, Reporter reporter)
      : platform_(platform), reporter_(reporter) {}

  // Starts `path` with `arguments` (absent: none) and exactly `environment`
  // (absent: none at all). Waiting mode returns the child's standard output
  // and throws ExecutableFileLaunchError with its standard error; background
  // mode returns absent right after the start and reports standard error later.
  // Both throw ExecutableFileLaunchError when the file cannot be started.
  std::optional<std::string> runExecutableFile(
      const std::string& path, const std::optional<std::vector<std::string>>& arguments,
      const std::optional<std::map<std::string, std::string>>& environment, bool waitUntilExit,
      bool reportInFile) const;

  // Reads the pipe to its end (blocking this worker until the child closes it)
  // and reports what was read, if anything.
  void reportStandardError(const std::shared_ptr<port::Pipe>& pipe, const std::string& path,
                           const std::vector<std::string>& arguments, bool reportInFile) const;
  void openMessageInTemporaryFile(const std::string& message) const;
  // Writes a new file under the first free name of this second and gives its
  // URL, or absent (after printing why).
  std::optional<std::string> writeMessageToTemporaryFile(const std::string& message) const;
  // Terminates the task when it still exists after `limit`, with an alert. Holds
  // the task only weakly: a child that ended before causes nothing.
  void terminateAfterTimeout(const std::shared_ptr<port::Task>& task,
                             std::chrono::seconds limit) const;

 private:
  port::Platform& platform_;
  Reporter reporter_;
};

}  // namespace zorv::helper
