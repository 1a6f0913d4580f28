#include "headless_desktop.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "linux/posix_tasks.h"

extern char** environ;

namespace zorv::e2e {

namespace {

// This process's environment.
Environment currentEnvironment() {
  Environment env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::size_t eq = text.find('=');
    if (eq != std::string::npos) env[text.substr(0, eq)] = text.substr(eq + 1);
  }
  return env;
}

// A new private folder under TMPDIR.
std::filesystem::path makeTempDir(const std::string& prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp " + pattern);
  return pattern;
}

}  // namespace

std::string ExitStatus::describe() const {
  if (signal != 0) return "killed by signal " + std::to_string(signal);
  return "exit code " + std::to_string(code);
}

namespace {

// Every child of the test process is watched by one set of tasks, ended at exit.
linux_desktop::PosixTasks& tasks() {
  static linux_desktop::PosixTasks instance;
  return instance;
}

ExitStatus exitStatus(int status) {
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0};
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, const Environment& env)
    : dir_(makeTempDir("zorv-e2e-child")),
      task_(std::static_pointer_cast<linux_desktop::PosixTask>(tasks().createTask())) {
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
  // Woken by every write to the output, so that a line is seen the moment it
  // is written (benchmarks time requests by it), and at least every 20 ms to
  // notice the end of the process.
  struct Watch {
    int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ~Watch() {
      if (fd >= 0) ::close(fd);
    }
  } watch;
  if (watch.fd >= 0) ::inotify_add_watch(watch.fd, (dir_ / "out").c_str(), IN_MODIFY);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const bool ended = !running();
    const auto all = lines();
    for (std::size_t i = from; i < all.size(); ++i) {
      if (predicate(all[i])) return true;
    }
    if (ended || std::chrono::steady_clock::now() >= deadline) return false;
    if (watch.fd < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    pollfd ready{watch.fd, POLLIN, 0};
    if (::poll(&ready, 1, 20) > 0) {
      char events[4096];
      while (::read(watch.fd, events, sizeof events) > 0) {
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

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  try {
    return {std::istreambuf_iterator<char>(in), {}};
  } catch (const std::ios_base::failure&) {
    return "";  // a file in /proc of a process that ended while it was read
  }
}

std::vector<std::string> procStat(pid_t pid) {
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  // The command name may hold spaces and parentheses; the fields after it do not.
  const std::size_t close = stat.rfind(')');
  std::vector<std::string> fields;
  std::istringstream in(close == std::string::npos ? "" : stat.substr(close + 2));
  for (std::string field; in >> field;) fields.push_back(field);
  return fields;
}

namespace {

const std::filesystem::path kScript =
    std::filesystem::path(ZORV_E2E_SOURCE_DIR) / "tools/headless-desktop";

// Live processes (zombies have no environment) with `entry` in their environment.
std::vector<std::string> processesWithEnvironment(const std::string& entry) {
  std::vector<std::string> found;
  for (const auto& process : std::filesystem::directory_iterator("/proc")) {
    if (!std::isdigit(process.path().filename().string()[0])) continue;
    std::string environ = readFile(process.path() / "environ");
    std::replace(environ.begin(), environ.end(), '\0', '\n');
    if (("\n" + environ).find("\n" + entry + "\n") != std::string::npos) {
      found.push_back(process.path().filename().string() + " " + readFile(process.path() / "comm"));
    }
  }
  return found;
}

}  // namespace

bool DesktopProcess::running() const {
  const auto fields = procStat(pid);
  return fields.size() > 19 && fields[0] != "Z" && fields[0] != "X" &&
         fields[19] == std::to_string(startTime);
}

HeadlessDesktop::HeadlessDesktop(HeadlessDesktopOptions options) : dir_(makeTempDir("zorv-e2e")) {
  // Should this process die without stopping it, the desktop stops by itself.
  std::vector<std::string> argv = {kScript.string(), "start", "--owner",
                                   std::to_string(::getpid())};
  if (!options.notifications) argv.emplace_back("--no-notifications");
  if (!options.logind) argv.emplace_back("--no-logind");
  if (!options.accessibility) argv.emplace_back("--no-a11y");
  if (options.sway) argv.emplace_back("--sway");
  if (options.gnome) argv.emplace_back("--gnome");
  if (!options.extension) argv.emplace_back("--no-extension");
  if (options.kde) argv.emplace_back("--kde");
  argv.push_back(dir_.string());
  auto env = currentEnvironment();
  // KWin lets a program type by its desktop entry: the build tree's names the
  // helper under test. The build tree also holds the shell extension GNOME runs.
  if (options.kde || options.gnome) {
    const auto dirs = env.find("XDG_DATA_DIRS");
    env["XDG_DATA_DIRS"] = std::string(ZORV_E2E_DATA_DIR) + ":" +
                           (dirs == env.end() ? "/usr/local/share:/usr/share" : dirs->second);
  }
  ChildProcess script(argv, env);
  auto status = script.wait(std::chrono::seconds(60));
  // Stopped, the script shows the logs of the desktop it was starting.
  if (!status) status = script.terminate();
  // This process's environment with the desktop's env file applied, as a shell has it.
  ChildProcess shell({"/bin/sh", "-c", ". \"$1\"/env && exec env", "sh", dir_.string()},
                     currentEnvironment());
  if (!status || !status->success() || !shell.wait() || shell.lines().empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    throw std::runtime_error("headless-desktop start failed:\n" + script.transcript());
  }
  running_ = true;
  for (const std::string& line : shell.lines()) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) env_[line.substr(0, eq)] = line.substr(eq + 1);
  }
}

HeadlessDesktop::~HeadlessDesktop() {
  if (!stop()) ADD_FAILURE() << "the desktop in " << dir_ << " left something running";
  if (std::getenv("ZORV_E2E_KEEP") == nullptr) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

std::string HeadlessDesktop::variable(const std::string& name) const {
  const auto it = env_.find(name);
  return it == env_.end() ? "" : it->second;
}

std::vector<DesktopProcess> HeadlessDesktop::processes() const {
  std::vector<DesktopProcess> processes;
  std::ifstream in(dir_ / "pids");
  DesktopProcess process;
  while (in >> process.pid >> process.startTime >> process.name) processes.push_back(process);
  return processes;
}

bool HeadlessDesktop::stop() {
  if (!running_) return true;
  running_ = false;
  const auto recorded = processes();
  ChildProcess script({kScript.string(), "stop", dir_.string()}, currentEnvironment());
  const auto status = script.wait(std::chrono::seconds(60));
  bool clean = status && status->success();
  if (!clean) std::cerr << "headless-desktop stop failed:\n" << script.transcript();
  // What the stop ended may take a moment to go.
  std::vector<std::string> left;
  for (int attempt = 0; attempt < 60; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    left = processesWithEnvironment("DBUS_SESSION_BUS_ADDRESS=" +
                                    variable("DBUS_SESSION_BUS_ADDRESS"));
    for (const DesktopProcess& process : recorded) {
      if (process.running()) left.push_back(process.name + "\n");
    }
    if (left.empty()) break;
  }
  for (const std::string& process : left) std::cerr << "still running: " << process;
  return clean && left.empty();
}

}  // namespace zorv::e2e
