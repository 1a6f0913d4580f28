#include "child_process.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
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
  inotify_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  ::inotify_add_watch(inotify_, dir_.c_str(), IN_MODIFY | IN_CLOSE_WRITE);
}

ChildProcess::~ChildProcess() {
  if (running()) terminate();
  ::close(inotify_);
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

ChildProcess::Capture& ChildProcess::refresh(Stream stream) const {
  Capture& capture = captures_[stream == Stream::out ? 0 : 1];
  std::ifstream in(dir_ / (stream == Stream::out ? "out" : "err"));
  in.seekg(std::streamoff(capture.read));
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  capture.read += text.size();
  capture.partial += text;
  std::size_t start = 0;
  for (std::size_t end; (end = capture.partial.find('\n', start)) != std::string::npos;
       start = end + 1) {
    capture.lines.push_back(capture.partial.substr(start, end - start));
  }
  capture.partial.erase(0, start);
  return capture;
}

std::vector<std::string> ChildProcess::lines(Stream stream) const {
  // Asked before reading: once ended, what is read is complete.
  const bool ended = !running();
  std::lock_guard lock(mutex_);
  const Capture& capture = refresh(stream);
  auto lines = capture.lines;
  if (ended && !capture.partial.empty()) lines.push_back(capture.partial);
  return lines;
}

bool ChildProcess::waitForLine(const std::string& text, Duration timeout, Stream stream,
                               std::size_t from) {
  return waitForLine([&text](const std::string& line) { return line == text; }, timeout, stream,
                     from);
}

bool ChildProcess::waitForLine(const LinePredicate& predicate, Duration timeout, Stream stream,
                               std::size_t from) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (std::size_t next = from;;) {
    const bool ended = !running();
    {
      std::lock_guard lock(mutex_);
      const Capture& capture = refresh(stream);
      for (; next < capture.lines.size(); ++next) {
        if (predicate(capture.lines[next])) return true;
      }
      if (ended && next == capture.lines.size() && !capture.partial.empty()) {
        return predicate(capture.partial);
      }
    }
    const auto left =
        std::chrono::duration_cast<Duration>(deadline - std::chrono::steady_clock::now());
    if (ended || left.count() <= 0) return false;
    // Woken by a write at once; the end of the process is seen within 20 ms.
    pollfd changed{inotify_, POLLIN, 0};
    if (::poll(&changed, 1, int(std::min<Duration::rep>(left.count(), 20))) > 0) {
      char events[4096];
      while (::read(inotify_, events, sizeof events) > 0) {
      }
    }
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
