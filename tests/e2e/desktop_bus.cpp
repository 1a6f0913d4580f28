#include "desktop_bus.h"

#include <gio/gio.h>

#include <memory>
#include <stdexcept>
#include <thread>

namespace zorv::e2e {

namespace {

struct Unref {
  void operator()(GVariant* value) const { g_variant_unref(value); }
};
using Variant = std::unique_ptr<GVariant, Unref>;

// A private connection by address: the test process's own buses are never used.
GDBusConnection* connect(const Environment& env, Bus bus) {
  const char* name = bus == Bus::session ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS";
  const auto it = env.find(name);
  GError* error = nullptr;
  GDBusConnection* connection =
      it == env.end()
          ? nullptr
          : g_dbus_connection_new_for_address_sync(
                it->second.c_str(),
                static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                  G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                nullptr, nullptr, &error);
  if (connection == nullptr) {
    const std::string message = error != nullptr ? error->message : "not set";
    g_clear_error(&error);
    throw std::runtime_error(std::string("cannot connect to ") + name + ": " + message);
  }
  return connection;
}

}  // namespace

void emitRequest(const Environment& env, const std::string& json) {
  RequestSender(env).send(json);
}

RequestSender::RequestSender(const Environment& env) : bus_(connect(env, Bus::session)) {}

RequestSender::~RequestSender() {
  g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
  g_dbus_connection_close_sync(bus_, nullptr, nullptr);
  g_object_unref(bus_);
}

void RequestSender::send(const std::string& json) {
  g_dbus_connection_emit_signal(bus_, nullptr, kRequestObjectPath, kRequestInterface,
                                kRequestMember, g_variant_new("(s)", json.c_str()), nullptr);
}

std::vector<MockCall> mockCalls(const Environment& env, Bus bus, const std::string& name,
                                const std::string& path) {
  GDBusConnection* connection = connect(env, bus);
  GError* error = nullptr;
  Variant reply(g_dbus_connection_call_sync(
      connection, name.c_str(), path.c_str(), "org.freedesktop.DBus.Mock", "GetCalls", nullptr,
      G_VARIANT_TYPE("(a(tsav))"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error));
  g_dbus_connection_close_sync(connection, nullptr, nullptr);
  g_object_unref(connection);
  if (!reply) {
    const std::string message = error->message;
    g_clear_error(&error);
    throw std::runtime_error("GetCalls on " + name + ": " + message);
  }
  std::vector<MockCall> calls;
  GVariantIter* list = nullptr;
  g_variant_get(reply.get(), "(a(tsav))", &list);
  const gchar* method = nullptr;
  GVariantIter* args = nullptr;
  while (g_variant_iter_loop(list, "(t&sav)", nullptr, &method, &args)) {
    MockCall call{method, {}};
    for (GVariant* value = nullptr; g_variant_iter_loop(args, "v", &value);) {
      gchar* text = g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)
                        ? g_variant_dup_string(value, nullptr)
                        : g_variant_print(value, FALSE);
      call.args.emplace_back(text);
      g_free(text);
    }
    calls.push_back(std::move(call));
  }
  g_variant_iter_free(list);
  return calls;
}

std::vector<NotificationCall> notificationCalls(const HeadlessDesktop& desktop) {
  std::vector<NotificationCall> calls;
  for (const MockCall& call :
       mockCalls(desktop.env(), Bus::session, "org.freedesktop.Notifications",
                 "/org/freedesktop/Notifications")) {
    if (call.method == "Notify" && call.args.size() == 8) {
      calls.push_back({call.args[0], call.args[1], call.args[3], call.args[4]});
    }
  }
  return calls;
}

std::vector<NotificationCall> waitForNotificationCalls(const HeadlessDesktop& desktop,
                                                       std::size_t count, Duration timeout) {
  // The mock only records; polling its record is the simplest reliable wait.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto calls = notificationCalls(desktop);
    if (calls.size() >= count || std::chrono::steady_clock::now() >= deadline) return calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::vector<std::string> summariesSince(const HeadlessDesktop& desktop, std::size_t from,
                                        std::size_t count) {
  std::vector<std::string> summaries;
  const auto calls = waitForNotificationCalls(desktop, from + count);
  for (std::size_t i = from; i < calls.size(); ++i) summaries.push_back(calls[i].summary);
  return summaries;
}

std::vector<MockCall> logindCalls(const HeadlessDesktop& desktop) {
  return mockCalls(desktop.env(), Bus::system, "org.freedesktop.login1", "/org/freedesktop/login1");
}

}  // namespace zorv::e2e
