#include "null/null_services.h"

namespace zorv::null_platform {
namespace {

class NullPipe : public port::Pipe {
 public:
  std::vector<std::uint8_t> readDataToEndOfFile() override { return {}; }
};

class NullTask : public port::Task {
 public:
  void setLaunchPath(const std::string& path) override { path_ = path; }
  void setArguments(const std::vector<std::string>&) override {}
  void setEnvironment(const std::map<std::string, std::string>&) override {}
  void setStandardError(std::shared_ptr<port::Pipe>) override {}
  void setStandardOutput(std::shared_ptr<port::Pipe>) override {}
  void discardStandardOutput() override {}
  std::optional<port::PlatformError> launch() override {
    return port::PlatformError{"zorv", kUnimplemented, "Programs cannot be started here."};
  }
  void waitUntilExit() override {}
  void terminate() override {}
  std::optional<std::string> launchPath() const override { return path_; }
  std::string description() const override { return "<task " + path_.value_or("") + ">"; }

 private:
  std::optional<std::string> path_;
};

}  // namespace

std::shared_ptr<port::Task> NullTasks::createTask() {
  return std::make_shared<NullTask>();
}
std::shared_ptr<port::Pipe> NullTasks::createPipe() {
  return std::make_shared<NullPipe>();
}

}  // namespace zorv::null_platform
