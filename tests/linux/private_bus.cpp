#include "linux/private_bus.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <stdexcept>

namespace zorv::testing {

TestProcess::TestProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& environment,
                         std::string* firstLine) {
  std::vector<gchar*> args;
  for (const auto& arg : argv) args.push_back(const_cast<gchar*>(arg.c_str()));
  args.push_back(nullptr);
  gchar** env = g_get_environ();
  for (const auto& [name, value] : environment) {
    env = g_environ_setenv(env, name.c_str(), value.c_str(), TRUE);
  }
  gint out = -1;
  GError* error = nullptr;
  const bool started = g_spawn_async_with_pipes(
      nullptr, args.data(), env,
      GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL |
                  (firstLine ? 0 : G_SPAWN_STDOUT_TO_DEV_NULL)),
      nullptr, nullptr, &pid_, nullptr, firstLine ? &out : nullptr, nullptr, &error);
  g_strfreev(env);
  if (!started) {
    const std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("cannot start " + argv[0] + ": " + message);
  }
  if (!firstLine) return;
  GIOChannel* channel = g_io_channel_unix_new(out);
  g_io_channel_set_close_on_unref(channel, TRUE);
  gchar* line = nullptr;
  g_io_channel_read_line(channel, &line, nullptr, nullptr, nullptr);
  g_io_channel_unref(channel);
  if (!line) {
    stop(SIGKILL);
    throw std::runtime_error(argv[0] + " printed nothing");
  }
  *firstLine = g_strstrip(line);
  g_free(line);
}

void TestProcess::stop(int signal) {
  if (pid_ == 0) return;
  kill(pid_, signal);
  waitpid(pid_, nullptr, 0);
  g_spawn_close_pid(pid_);
  pid_ = 0;
}

GDBusConnection* connectToBus(const std::string& address) {
  return g_dbus_connection_new_for_address_sync(
      address.c_str(),
      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
}

bool nameHasOwner(GDBusConnection* bus, const std::string& name) {
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 2000,
      nullptr, nullptr);
  gboolean owned = FALSE;
  if (reply) g_variant_get(reply, "(b)", &owned), g_variant_unref(reply);
  return owned;
}

MockService::MockService(const std::string& address, bool system, const std::string& name,
                         const std::string& path, const std::string& interface)
    : process_({"/usr/bin/python3", "-m", "dbusmock", system ? "--system" : "--session", name, path,
                interface},
               {{system ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS", address}}),
      bus_(connectToBus(address)),
      name_(name),
      path_(path) {
  if (!iterateUntil([&] { return nameHasOwner(bus_, name_); }, 10000)) {
    g_object_unref(bus_);
    throw std::runtime_error("dbusmock did not appear as " + name);
  }
}

std::string MockService::control(const char* method, GVariant* parameters) {
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, name_.c_str(), path_.c_str(), "org.freedesktop.DBus.Mock", method, parameters, nullptr,
      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  if (!reply) return "";
  gchar* text = g_variant_print(reply, FALSE);
  std::string out = text;
  g_free(text);
  g_variant_unref(reply);
  return out;
}

// Xvfb writes its display number once it accepts clients.
PrivateXServer::PrivateXServer()
    : server_(
          {"Xvfb", "-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp", "-noreset"},
          {}, &line_) {}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zorv-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path ScratchDir::file(const std::string& name, const std::string& contents,
                                       std::filesystem::perms perms) const {
  const auto p = path_ / name;
  std::ofstream(p) << contents;
  std::filesystem::permissions(p, perms);
  return p;
}

static void setVariable(const char* name, const std::optional<std::string>& value) {
  if (value) g_setenv(name, value->c_str(), TRUE);
  if (!value) g_unsetenv(name);
}

ScopedVariable::ScopedVariable(const char* name, const std::optional<std::string>& value)
    : name_(name) {
  if (const char* old = g_getenv(name)) old_ = old;
  setVariable(name, value);
}

ScopedVariable::~ScopedVariable() {
  setVariable(name_, old_);
}

bool iterateUntil(const std::function<bool()>& done, int timeoutMs) {
  const gint64 deadline = g_get_monotonic_time() + gint64(timeoutMs) * 1000;
  while (!done()) {
    if (g_get_monotonic_time() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(200);
  }
  return true;
}

}  // namespace zorv::testing
