#include "desktop/memory_system.h"

namespace zorv::testing {

port::DescriptorResult MemoryAppleEvents::createDesc(port::FourCharCode type,
                                                     const std::vector<std::uint8_t>& data) {
  log_.add("AECreateDesc type=" + std::to_string(type) + " size=" + std::to_string(data.size()));
  descData.push_back(data);
  if (auto f = failures.find("AECreateDesc"); f != failures.end()) return {f->second, 0};
  live.insert(next_);
  return {port::kSuccess, next_++};
}

port::DescriptorResult MemoryAppleEvents::createAppleEvent(port::FourCharCode eventClass,
                                                           port::FourCharCode eventID,
                                                           port::DescriptorId target,
                                                           std::int16_t returnID,
                                                           std::int32_t transactionID) {
  log_.add("AECreateAppleEvent class=" + std::to_string(eventClass) +
           " id=" + std::to_string(eventID) + " target=" + std::to_string(target) +
           " return=" + std::to_string(returnID) + " transaction=" + std::to_string(transactionID));
  if (auto f = failures.find("AECreateAppleEvent"); f != failures.end()) return {f->second, 0};
  live.insert(next_);
  return {port::kSuccess, next_++};
}

port::StatusCode MemoryAppleEvents::sendMessage(port::DescriptorId event, port::DescriptorId& reply,
                                                std::int32_t sendMode, std::int64_t timeoutTicks) {
  log_.add("AESendMessage event=" + std::to_string(event) + " mode=" + std::to_string(sendMode) +
           " timeout=" + std::to_string(timeoutTicks));
  reply = 0;
  if (sendCreatesReply) {
    reply = next_++;
    live.insert(reply);
  }
  if (auto f = failures.find("AESendMessage"); f != failures.end()) return f->second;
  return port::kSuccess;
}

port::StatusCode MemoryAppleEvents::disposeDesc(port::DescriptorId descriptor) {
  log_.add("AEDisposeDesc " + std::to_string(descriptor));
  live.erase(descriptor);
  return port::kSuccess;
}

namespace {

void write(const std::shared_ptr<port::Pipe>& pipe, const std::string& text) {
  if (auto* memory = dynamic_cast<MemoryPipe*>(pipe.get())) {
    memory->contents.insert(memory->contents.end(), text.begin(), text.end());
  }
}

}  // namespace

std::optional<port::PlatformError> MemoryTask::launch() {
  if (launchError) return launchError;
  write(stderr_, writesToStandardError);
  write(stdout_, writesToStandardOutput);
  return std::nullopt;
}

std::shared_ptr<port::Task> MemoryTasks::createTask() {
  auto task = std::make_shared<MemoryTask>(log_);
  task->launchError = launchError;
  task->writesToStandardError = writesToStandardError;
  task->writesToStandardOutput = writesToStandardOutput;
  created.push_back(task);
  return task;
}

bool MemoryFiles::fileExistsAtPath(const std::string& path, bool& isDirectory) {
  std::string key = path;
  while (key.size() > 1 && key.ends_with('/')) key.pop_back();
  isDirectory = directories.contains(key);
  return isDirectory || files.contains(key);
}

std::optional<port::PlatformError> MemoryFiles::writeNewFile(const std::string& path,
                                                             const std::string& contents) {
  ++writes;
  if (writeError) return writeError;
  if (!files.emplace(path, contents).second) {
    return port::PlatformError{port::kFileErrorDomain, port::kFileWriteFileExistsError,
                               "The file exists."};
  }
  return std::nullopt;
}

}  // namespace zorv::testing
