#include "linux/process_application.h"

#include <glib.h>
#include <signal.h>

#include <cerrno>
#include <fstream>

namespace zorv::linux_desktop {
namespace {

std::optional<std::string> readFirstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) return std::nullopt;
  return line;
}

}  // namespace

bool processExists(port::Pid pid) {
  return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

std::optional<std::string> executableName(port::Pid pid) {
  gchar* target = g_file_read_link(("/proc/" + std::to_string(pid) + "/exe").c_str(), nullptr);
  if (!target) return readFirstLine("/proc/" + std::to_string(pid) + "/comm");
  gchar* base = g_path_get_basename(target);
  std::string name = base;
  g_free(base);
  g_free(target);
  return name;
}

port::RunningApplicationRef windowedApplication(port::Pid pid) {
  if (!processExists(pid)) return nullptr;
  auto name = executableName(pid);
  return std::make_shared<ProcessApplication>(pid, name, name, port::ActivationPolicy::regular);
}

}  // namespace zorv::linux_desktop
