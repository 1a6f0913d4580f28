// zorv-send: broadcasts one action request on the user's session bus, for people
// and scripts.

#include <gio/gio.h>

#include <cstdio>
#include <string>
#include <vector>

#include "request_builder.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  auto request = zorv::send::buildRequest(arguments);
  if (auto* usage = std::get_if<zorv::send::UsageError>(&request)) {
    if (!usage->message.empty()) std::fprintf(stderr, "zorv-send: %s\n", usage->message.c_str());
    std::fputs(zorv::send::kUsage, stderr);
    return usage->message.empty() ? 0 : 2;
  }
  const auto& json = std::get<std::string>(request);
  if (!g_utf8_validate(json.data(), static_cast<gssize>(json.size()), nullptr)) {
    std::fprintf(stderr, "zorv-send: the request must be UTF-8 text without NUL characters\n");
    return 2;
  }

  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    std::fprintf(stderr, "zorv-send: cannot reach the session bus: %s\n", error->message);
    g_error_free(error);
    return 1;
  }
  const bool sent = g_dbus_connection_emit_signal(
                        bus, nullptr, "/name/pemu/zorv", "name.pemu.zorv.notification_names",
                        "helper_action_event", g_variant_new("(s)", json.c_str()), &error) &&
                    g_dbus_connection_flush_sync(bus, nullptr, &error);
  if (!sent) {
    std::fprintf(stderr, "zorv-send: cannot send: %s\n", error->message);
    g_error_free(error);
  }
  g_object_unref(bus);
  return sent ? 0 : 1;
}
