#include "headless_desktop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace zorv::e2e {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
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
  argv.push_back(dir_.string());
  ChildProcess script(argv, currentEnvironment());
  const auto status = script.wait(std::chrono::seconds(60));
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
