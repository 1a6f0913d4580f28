#include "headless_desktop.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace zorv::e2e {

namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Undoes the script's quoting: single-quoted runs and backslash escapes.
std::string unquote(const std::string& word) {
  std::string out;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    if (c == '\'') {
      const std::size_t end = word.find('\'', i + 1);
      if (end == std::string::npos) throw std::runtime_error("unterminated quote in: " + word);
      out += word.substr(i + 1, end - i - 1);
      i = end;
    } else if (c == '\\' && i + 1 < word.size()) {
      out += word[++i];
    } else {
      out += c;
    }
  }
  return out;
}

std::filesystem::path makeTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zorv-e2e-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
  }
  return pattern;
}

}  // namespace

std::filesystem::path headlessDesktopScript() {
  return std::filesystem::path(ZORV_E2E_SOURCE_DIR) / "tools" / "headless-desktop";
}
std::filesystem::path sampleAppPath() {
  return ZORV_E2E_SAMPLE_APP;
}
std::filesystem::path atspiDumpPath() {
  return ZORV_E2E_ATSPI_DUMP;
}

void applyEnvFile(const std::string& text, Environment& env) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("export ", 0) == 0) {
      const std::string assignment = line.substr(7);
      const std::size_t eq = assignment.find('=');
      if (eq == std::string::npos) throw std::runtime_error("bad env line: " + line);
      env[assignment.substr(0, eq)] = unquote(assignment.substr(eq + 1));
    } else if (line.rfind("unset ", 0) == 0) {
      std::istringstream names(line.substr(6));
      std::string name;
      while (names >> name) env.erase(name);
    } else if (!line.empty()) {
      throw std::runtime_error("bad env line: " + line);
    }
  }
}

namespace {

struct ProcStat {
  std::string state;
  unsigned long long startTime = 0;
};

std::optional<ProcStat> readProcStat(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return std::nullopt;
  // The command name may hold spaces and parentheses; the fields after it do not.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 > stat.size()) return std::nullopt;
  std::istringstream fields(stat.substr(close + 2));
  ProcStat result;
  fields >> result.state;
  std::string skipped;
  for (int field = 4; field < 22; ++field) fields >> skipped;
  fields >> result.startTime;
  return result;
}

}  // namespace

bool DesktopProcess::running() const {
  const auto stat = readProcStat(pid);
  return stat && stat->state != "Z" && stat->state != "X" && stat->startTime == startTime;
}

std::optional<DesktopProcess> DesktopProcess::of(pid_t pid, std::string name) {
  const auto stat = readProcStat(pid);
  if (!stat) return std::nullopt;
  return DesktopProcess{pid, stat->startTime, std::move(name)};
}

HeadlessDesktop::HeadlessDesktop(HeadlessDesktopOptions options) : options_(options) {
  dir_ = makeTempDir();
  // Should this process die without stopping it, the desktop stops by itself.
  std::vector<std::string> argv = {headlessDesktopScript().string(), "start", "--owner",
                                   std::to_string(::getpid())};
  if (!options_.notifications) argv.emplace_back("--no-notifications");
  if (!options_.logind) argv.emplace_back("--no-logind");
  if (!options_.accessibility) argv.emplace_back("--no-a11y");
  argv.push_back(dir_.string());

  const auto started = std::chrono::steady_clock::now();
  ChildProcess script(argv, currentEnvironment());
  const auto status = script.finish(std::chrono::seconds(60));
  startupTime_ = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  if (!status || !status->success()) {
    const std::string transcript = script.transcript();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    throw std::runtime_error("headless-desktop start failed:\n" + transcript);
  }
  running_ = true;
  env_ = currentEnvironment();
  applyEnvFile(readFile(dir_ / "env"), env_);
}

HeadlessDesktop::~HeadlessDesktop() {
  if (!stop()) std::cerr << "HeadlessDesktop: stop left something behind in " << dir_ << '\n';
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
  ChildProcess script({headlessDesktopScript().string(), "stop", dir_.string()},
                      currentEnvironment());
  const auto status = script.finish(std::chrono::seconds(60));
  if (status && status->success()) return true;
  std::cerr << "headless-desktop stop failed:\n" << script.transcript();
  return false;
}

}  // namespace zorv::e2e
