#include "child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "linux/posix_tasks.h"

extern char** environ;

namespace zorv::e2e {

Environment currentEnvironment() {
  Environment env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::size_t eq = text.find('=');
    if (eq != std::string::npos) env[text.substr(0, eq)] = text.substr(eq + 1);
  }
  return env;
}

std::filesystem::path makeTempDir(const std::string& prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp " + pattern);
  return pattern;
}

std::string ExitStatus::describe() const {
  if (signal != 0) return "killed by signal " + std::to_string(signal);
  return "exit code " + std::to_string(code);
}

namespace {

ExitStatus exitStatus(int status) {
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0};
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, const Environment& env)
    : dir_(makeTempDir("zorv-e2e-child")), task_(std::make_shared<linux_desktop::PosixTask>()) {
  // The shell only redirects, then becomes the program (same process id).
  std::vector<std::string> arguments = {"-c",
                                        "exec </dev/null >\"$1\" 2>\"$2\"; shift 2; exec \"$@\"",
                                        "sh", (dir_ / "out").string(), (dir_ / "err").string()};
  arguments.insert(arguments.end(), argv.begin(), argv.end());
  task_->setLaunchPath("/bin/sh");
  task_->setArguments(arguments);
  task_->setEnvironment(env);
  if (auto error = task_->launch()) throw std::runtime_error(error->localizedDescription);
}

ChildProcess::~ChildProcess() {
  if (running()) terminate();
  if (std::getenv("ZORV_E2E_KEEP") == nullptr) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

pid_t ChildProcess::pid() const {
  return task_->processIdentifier();
}

bool ChildProcess::running() const {
  return !task_->terminationStatus().has_value();
}

std::vector<std::string> ChildProcess::lines(Stream stream) const {
  // Asked before reading: once ended, what is read is complete.
  const bool ended = !running();
  std::ifstream in(dir_ / (stream == Stream::out ? "out" : "err"));
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (ended && start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool ChildProcess::waitForLine(const std::string& text, std::size_t from, Duration timeout) {
  return waitForLine([&text](const std::string& line) { return line == text; }, from, timeout);
}

bool ChildProcess::waitForLine(const LinePredicate& predicate, std::size_t from, Duration timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const bool ended = !running();
    const auto all = lines();
    for (std::size_t i = from; i < all.size(); ++i) {
      if (predicate(all[i])) return true;
    }
    if (ended || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string ChildProcess::transcript() const {
  std::string text;
  for (const std::string& line : lines(Stream::out)) text += "out: " + line + "\n";
  for (const std::string& line : lines(Stream::err)) text += "err: " + line + "\n";
  if (auto status = task_->terminationStatus()) {
    text += "(" + exitStatus(*status).describe() + ")\n";
  }
  return text;
}

std::optional<ExitStatus> ChildProcess::wait(Duration timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::optional<int> status;
  while (!(status = task_->terminationStatus()) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!status) return std::nullopt;
  return exitStatus(*status);
}

ExitStatus ChildProcess::terminate() {
  task_->terminate();
  return wait(linux_desktop::PosixTask::kTerminateGrace + kDefaultTimeout).value_or(ExitStatus{});
}

}  // namespace zorv::e2e
