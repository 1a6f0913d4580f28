#pragma once
// In-memory system services: Apple-event style requests, child processes and
// files. Outcomes are chosen by the test; every call is recorded.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "desktop/event_log.h"
#include "port/apple_events.h"
#include "port/tasks.h"

namespace zorv::testing {

class MemoryAppleEvents : public port::AppleEvents {
 public:
  explicit MemoryAppleEvents(EventLog& log) : log_(log) {}
  port::DescriptorResult createDesc(port::FourCharCode type,
                                    const std::vector<std::uint8_t>& data) override {
    log_.add("AECreateDesc type=" + std::to_string(type) + " size=" + std::to_string(data.size()));
    descData.push_back(data);
    return create("AECreateDesc");
  }
  port::DescriptorResult createAppleEvent(port::FourCharCode eventClass, port::FourCharCode eventID,
                                          port::DescriptorId target, std::int16_t returnID,
                                          std::int32_t transactionID) override {
    log_.add("AECreateAppleEvent class=" + std::to_string(eventClass) +
             " id=" + std::to_string(eventID) + " target=" + std::to_string(target) + " return=" +
             std::to_string(returnID) + " transaction=" + std::to_string(transactionID));
    return create("AECreateAppleEvent");
  }
  port::StatusCode sendMessage(port::DescriptorId event, port::DescriptorId& reply,
                               std::int32_t sendMode, std::int64_t timeoutTicks) override {
    log_.add("AESendMessage event=" + std::to_string(event) + " mode=" + std::to_string(sendMode) +
             " timeout=" + std::to_string(timeoutTicks));
    reply = 0;
    if (sendCreatesReply) live.insert(reply = next_++);
    auto f = failures.find("AESendMessage");
    return f == failures.end() ? port::kSuccess : f->second;
  }
  port::StatusCode disposeDesc(port::DescriptorId descriptor) override {
    log_.add("AEDisposeDesc " + std::to_string(descriptor));
    live.erase(descriptor);
    return port::kSuccess;
  }

  // Forced statuses by call name: "AECreateDesc", "AECreateAppleEvent", "AESendMessage".
  std::map<std::string, port::StatusCode> failures;
  // Whether a send hands back a reply descriptor (to be disposed by the caller).
  bool sendCreatesReply = false;
  std::set<port::DescriptorId> live;                // created and not disposed
  std::vector<std::vector<std::uint8_t>> descData;  // each createDesc's data, in order

 private:
  port::DescriptorResult create(const std::string& call) {
    if (auto f = failures.find(call); f != failures.end()) return {f->second, 0};
    live.insert(next_);
    return {port::kSuccess, next_++};
  }
  EventLog& log_;
  port::DescriptorId next_ = 1;
};

// A child that does not run: it records how it was configured and what was
// asked of it; at launch it "writes" what the test chose into its pipes.
class MemoryPipe : public port::Pipe {
 public:
  std::vector<std::uint8_t> contents;
  std::vector<std::uint8_t> readDataToEndOfFile() override { return std::exchange(contents, {}); }
};

class MemoryTask : public port::Task {
 public:
  explicit MemoryTask(EventLog& log) : log_(log) {}
  void setLaunchPath(const std::string& path) override { launchPath_ = path; }
  void setArguments(const std::vector<std::string>& arguments) override { arguments_ = arguments; }
  void setEnvironment(const std::map<std::string, std::string>& environment) override {
    environment_ = environment;
  }
  void setStandardError(std::shared_ptr<port::Pipe> pipe) override { stderr_ = pipe; }
  void setStandardOutput(std::shared_ptr<port::Pipe> pipe) override { stdout_ = pipe; }
  void discardStandardOutput() override {
    stdout_.reset();
    discardsOutput_ = true;
  }
  std::optional<port::PlatformError> launch() override {
    if (launchError) return launchError;
    write(stderr_, writesToStandardError);
    write(stdout_, writesToStandardOutput);
    return std::nullopt;
  }
  void waitUntilExit() override { log_.add("task: wait " + launchPath_.value_or("")); }
  void terminate() override { log_.add("task: terminate " + launchPath_.value_or("")); }
  std::optional<std::string> launchPath() const override { return launchPath_; }
  std::string description() const override { return "<MemoryTask>"; }

  std::optional<port::PlatformError> launchError;
  std::string writesToStandardError;
  std::string writesToStandardOutput;

  std::optional<std::string> launchPath_;
  std::vector<std::string> arguments_;
  std::optional<std::map<std::string, std::string>> environment_;
  std::shared_ptr<port::Pipe> stderr_;
  std::shared_ptr<port::Pipe> stdout_;
  bool discardsOutput_ = false;

 private:
  static void write(const std::shared_ptr<port::Pipe>& pipe, const std::string& text) {
    if (auto* memory = dynamic_cast<MemoryPipe*>(pipe.get())) {
      memory->contents.insert(memory->contents.end(), text.begin(), text.end());
    }
  }
  EventLog& log_;
};

// Keeps every task it created (tests read their configuration); a test that
// wants a task to have ended, as far as weak references can tell, clears
// `created`.
class MemoryTasks : public port::Tasks {
 public:
  explicit MemoryTasks(EventLog& log) : log_(log) {}
  std::shared_ptr<port::Task> createTask() override {
    auto task = std::make_shared<MemoryTask>(log_);
    task->launchError = launchError;
    task->writesToStandardError = writesToStandardError;
    task->writesToStandardOutput = writesToStandardOutput;
    created.push_back(task);
    return task;
  }
  std::shared_ptr<port::Pipe> createPipe() override { return std::make_shared<MemoryPipe>(); }
  std::vector<std::shared_ptr<MemoryTask>> created;

  // What the next tasks do.
  std::optional<port::PlatformError> launchError;
  std::string writesToStandardError;
  std::string writesToStandardOutput;

 private:
  EventLog& log_;
};

class MemoryFiles : public port::Files {
 public:
  std::string temporaryDirectory() override { return "/tmp/memory-desktop/"; }
  std::string currentDirectoryPath() override { return currentDirectory; }
  bool fileExistsAtPath(const std::string& path, bool& isDirectory) override {
    std::string key = path;
    while (key.size() > 1 && key.ends_with('/')) key.pop_back();
    isDirectory = directories.contains(key);
    return isDirectory || files.contains(key);
  }
  // Refuses a name in `files` with the file-exists error.
  std::optional<port::PlatformError> writeNewFile(const std::string& path,
                                                  const std::string& contents) override {
    ++writes;
    if (writeError) return writeError;
    if (files.emplace(path, contents).second) return std::nullopt;
    return port::PlatformError{port::kFileErrorDomain, port::kFileWriteFileExistsError,
                               "The file exists."};
  }
  std::map<std::string, std::string> files;
  std::set<std::string> directories;  // paths without a trailing separator
  std::string currentDirectory = "/home/user";
  std::optional<port::PlatformError> writeError;
  std::size_t writes = 0;  // attempts, refused ones included
};

}  // namespace zorv::testing
