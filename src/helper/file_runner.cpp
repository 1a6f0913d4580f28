#include "helper/file_runner.h"

#include <cmath>
#include <thread>

#include "helper/file_urls.h"
#include "support/list_notation.h"
#include "support/unicode.h"

namespace zorv::helper {
namespace {

std::optional<std::string> utf8Text(const std::vector<std::uint8_t>& bytes) {
  std::string text(bytes.begin(), bytes.end());
  if (!support::isValidUTF8(text)) return std::nullopt;
  return text;
}

double secondsSince1970() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

ExecutableFileLaunchError::ExecutableFileLaunchError(std::optional<std::string> errorDescription)
    : support::Error(errorDescription.value_or(
          support::standardErrorDescription("zorv_helper.ExecutableFileLaunchError", 1))),
      errorDescription_(std::move(errorDescription)) {}

std::string standardErrorReport(const std::vector<std::uint8_t>& standardError,
                                const std::string& path,
                                const std::vector<std::string>& arguments) {
  return "File execution error:\n" +
         utf8Text(standardError).value_or("failed to read the standard error") + "\n\n" + path +
         "\nwith the arguments:\n" + support::listNotation(arguments);
}

std::string messageFileName(double secondsSince1970, int number) {
  return "message-generated-by-morvek-" + std::to_string(std::llround(secondsSince1970)) + ".0" +
         (number > 1 ? "-" + std::to_string(number) : "") + ".txt";
}

std::optional<std::string> FileRunner::runExecutableFile(
    const std::string& path, const std::optional<std::vector<std::string>>& arguments,
    const std::optional<std::map<std::string, std::string>>& environment, bool waitUntilExit,
    bool reportInFile) const {
  const auto list = arguments.value_or(std::vector<std::string>{});
  auto task = platform_.tasks.createTask();
  // Nothing of the helper's own environment reaches the child.
  task->setEnvironment(environment.value_or(std::map<std::string, std::string>{}));
  task->setLaunchPath(path);
  task->setArguments(list);
  auto standardError = platform_.tasks.createPipe();
  task->setStandardError(standardError);
  std::shared_ptr<port::Pipe> standardOutput;
  if (waitUntilExit) {
    standardOutput = platform_.tasks.createPipe();
    task->setStandardOutput(standardOutput);
  } else {
    // Nobody reads it in the background: a pipe would fill up and stall the child.
    task->discardStandardOutput();
  }
  if (auto error = task->launch()) throw ExecutableFileLaunchError(error->localizedDescription);

  platform_.standardOutput.writeLine("launching " + path + " with arguments " +
                                     support::listNotation(list));
  terminateAfterTimeout(task, kRunTimeLimit);

  if (waitUntilExit) {
    // Both pipes are read at once, so that a child filling one of them while we
    // wait on the other cannot stall.
    std::vector<std::uint8_t> output;
    std::thread outputReader([&] { output = standardOutput->readDataToEndOfFile(); });
    const auto errorBytes = standardError->readDataToEndOfFile();
    outputReader.join();
    task->waitUntilExit();
    if (auto text = utf8Text(errorBytes); text && !text->empty()) {
      throw ExecutableFileLaunchError(*text);
    }
    return utf8Text(output);
  }

  platform_.dispatch.asyncGlobal([runner = *this, standardError, path, list, reportInFile] {
    runner.reportStandardError(standardError, path, list, reportInFile);
  });
  platform_.standardOutput.writeLine("launched");
  return std::nullopt;
}

void FileRunner::reportStandardError(const std::shared_ptr<port::Pipe>& pipe,
                                     const std::string& path,
                                     const std::vector<std::string>& arguments,
                                     bool reportInFile) const {
  const auto bytes = pipe->readDataToEndOfFile();
  if (bytes.empty()) return;
  const auto report = standardErrorReport(bytes, path, arguments);
  if (reportInFile) {
    openMessageInTemporaryFile(report);
    return;
  }
  reporter_.showAlert(report);
  platform_.standardOutput.writeLine(report);
}

void FileRunner::openMessageInTemporaryFile(const std::string& message) const {
  if (auto url = writeMessageToTemporaryFile(message)) {
    platform_.workspace.openURL(*url);
    return;
  }
  platform_.standardOutput.writeLine("failed to write message in temporary file");
}

std::optional<std::string> FileRunner::writeMessageToTemporaryFile(
    const std::string& message) const {
  const std::string directory = platform_.files.temporaryDirectory();
  const double now = secondsSince1970();
  for (int number = 1;; ++number) {
    const std::string path = directory + messageFileName(now, number);
    const auto error = platform_.files.writeNewFile(path, message);
    if (!error) return fileURLWithPath(platform_.files, path, false);
    // Another report of this second holds the name: never replace it.
    if (port::isFileExistsError(*error) && number < kMessageFilesPerSecond) continue;
    platform_.standardOutput.writeLine(error->localizedDescription);
    return std::nullopt;
  }
}

void FileRunner::terminateAfterTimeout(const std::shared_ptr<port::Task>& task,
                                       std::chrono::seconds limit) const {
  platform_.dispatch.asyncAfterGlobal(limit, [runner = *this, weakTask = std::weak_ptr(task)] {
    const auto running = weakTask.lock();
    if (!running) return;
    running->terminate();
    const std::string text =
        "Action execution timeout: " + running->launchPath().value_or(running->description());
    runner.reporter_.showAlert(text);
    runner.platform_.standardOutput.writeLine(text);
  });
}

}  // namespace zorv::helper
