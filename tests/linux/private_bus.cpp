#include "linux/private_bus.h"

#include <signal.h>
#include <sys/wait.h>

#include <stdexcept>

namespace zorv::testing {

PrivateBus::PrivateBus() {
  const gchar* argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr};
  gint out = -1;
  GError* error = nullptr;
  if (!g_spawn_async_with_pipes(
          nullptr, const_cast<gchar**>(argv), nullptr,
          static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr,
          nullptr, &pid_, nullptr, &out, nullptr, &error)) {
    std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("cannot start dbus-daemon: " + message);
  }
  // The address is the first line the daemon prints once it listens.
  GIOChannel* channel = g_io_channel_unix_new(out);
  g_io_channel_set_close_on_unref(channel, TRUE);
  gchar* line = nullptr;
  g_io_channel_read_line(channel, &line, nullptr, nullptr, nullptr);
  g_io_channel_unref(channel);
  if (!line) throw std::runtime_error("dbus-daemon printed no address");
  address_ = g_strstrip(line);
  g_free(line);
}

PrivateBus::~PrivateBus() {
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  g_spawn_close_pid(pid_);
}

GDBusConnection* PrivateBus::connect() const {
  return g_dbus_connection_new_for_address_sync(
      address_.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
}

ScopedVariable::ScopedVariable(const char* name, const std::optional<std::string>& value)
    : name_(name) {
  if (const char* old = g_getenv(name)) old_ = old;
  if (value) {
    g_setenv(name, value->c_str(), TRUE);
  } else {
    g_unsetenv(name);
  }
}

ScopedVariable::~ScopedVariable() {
  if (old_) {
    g_setenv(name_, old_->c_str(), TRUE);
  } else {
    g_unsetenv(name_);
  }
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
