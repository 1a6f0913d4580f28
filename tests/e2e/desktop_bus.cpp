#include "desktop_bus.h"

#include <gio/gio.h>

#include <memory>
#include <stdexcept>
#include <thread>

namespace zorv::e2e {

namespace {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct VariantUnref {
  void operator()(GVariant* value) const { g_variant_unref(value); }
};
using Connection = std::unique_ptr<GDBusConnection, ObjectUnref>;
using Variant = std::unique_ptr<GVariant, VariantUnref>;

[[noreturn]] void fail(const std::string& what, GError* error) {
  std::string message = what + ": " + (error != nullptr ? error->message : "unknown error");
  if (error != nullptr) g_error_free(error);
  throw std::runtime_error(message);
}

std::string addressOf(const Environment& env, Bus bus) {
  const char* name = bus == Bus::session ? "DBUS_SESSION_BUS_ADDRESS" : "DBUS_SYSTEM_BUS_ADDRESS";
  const auto it = env.find(name);
  if (it == env.end() || it->second.empty()) {
    throw std::runtime_error(std::string(name) + " is not set in the desktop environment");
  }
  return it->second;
}

// A private connection by address: the test process's own buses are never used.
Connection connect(const Environment& env, Bus bus) {
  const std::string address = addressOf(env, bus);
  GError* error = nullptr;
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (connection == nullptr) fail("cannot connect to " + address, error);
  return Connection(connection);
}

void close(const Connection& connection) {
  g_dbus_connection_close_sync(connection.get(), nullptr, nullptr);
}

std::string stringArg(GVariant* args, gsize index) {
  Variant boxed(g_variant_get_child_value(args, index));
  Variant value(g_variant_get_variant(boxed.get()));
  if (!g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING)) return "";
  return g_variant_get_string(value.get(), nullptr);
}

}  // namespace

void emitRequest(const Environment& env, const std::string& json) {
  Connection connection = connect(env, Bus::session);
  GError* error = nullptr;
  if (!g_dbus_connection_emit_signal(connection.get(), nullptr, kRequestObjectPath,
                                     kRequestInterface, kRequestMember,
                                     g_variant_new("(s)", json.c_str()), &error)) {
    fail("cannot emit the request", error);
  }
  if (!g_dbus_connection_flush_sync(connection.get(), nullptr, &error)) {
    fail("cannot flush the request", error);
  }
  close(connection);
}

bool waitUntilListening(ChildProcess& helper, const Environment& env, const std::string& probe) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    emitRequest(env, probe);
    if (helper.waitForLine("in helper", std::chrono::milliseconds(50))) {
      helper.waitForLine([](const std::string&) { return false; }, std::chrono::milliseconds(300),
                         Stream::out, helper.lines().size());
      return true;
    }
  }
  return false;
}

RequestSender::RequestSender(const Environment& env)
    : bus_(g_dbus_connection_new_for_address_sync(
          env.at("DBUS_SESSION_BUS_ADDRESS").c_str(),
          static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                            G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
          nullptr, nullptr, nullptr)) {
  if (!bus_) throw std::runtime_error("cannot connect to the session bus");
}

RequestSender::~RequestSender() {
  g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
  g_object_unref(bus_);
}

void RequestSender::send(const std::string& json) {
  g_dbus_connection_emit_signal(bus_, nullptr, kRequestObjectPath, kRequestInterface,
                                kRequestMember, g_variant_new("(s)", json.c_str()), nullptr);
}

std::vector<MockCall> mockCalls(const Environment& env, Bus bus, const std::string& name,
                                const std::string& path) {
  Connection connection = connect(env, bus);
  GError* error = nullptr;
  Variant reply(g_dbus_connection_call_sync(
      connection.get(), name.c_str(), path.c_str(), "org.freedesktop.DBus.Mock", "GetCalls",
      nullptr, G_VARIANT_TYPE("(a(tsav))"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error));
  close(connection);
  if (!reply) fail("GetCalls on " + name, error);

  std::vector<MockCall> calls;
  Variant list(g_variant_get_child_value(reply.get(), 0));
  const gsize count = g_variant_n_children(list.get());
  for (gsize i = 0; i < count; ++i) {
    Variant call(g_variant_get_child_value(list.get(), i));
    Variant method(g_variant_get_child_value(call.get(), 1));
    Variant args(g_variant_get_child_value(call.get(), 2));
    MockCall entry;
    entry.method = g_variant_get_string(method.get(), nullptr);
    const gsize argCount = g_variant_n_children(args.get());
    for (gsize a = 0; a < argCount; ++a) {
      Variant boxed(g_variant_get_child_value(args.get(), a));
      Variant value(g_variant_get_variant(boxed.get()));
      gchar* text = g_variant_print(value.get(), FALSE);
      entry.args.emplace_back(text);
      g_free(text);
    }
    calls.push_back(std::move(entry));
  }
  return calls;
}

std::vector<NotificationCall> notificationCalls(const HeadlessDesktop& desktop) {
  // The typed values are read again here: GVariant text would quote strings.
  Connection connection = connect(desktop.env(), Bus::session);
  GError* error = nullptr;
  Variant reply(g_dbus_connection_call_sync(
      connection.get(), "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
      "org.freedesktop.DBus.Mock", "GetCalls", nullptr, G_VARIANT_TYPE("(a(tsav))"),
      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error));
  close(connection);
  if (!reply) fail("GetCalls on the notification daemon mock", error);

  std::vector<NotificationCall> calls;
  Variant list(g_variant_get_child_value(reply.get(), 0));
  const gsize count = g_variant_n_children(list.get());
  for (gsize i = 0; i < count; ++i) {
    Variant call(g_variant_get_child_value(list.get(), i));
    Variant method(g_variant_get_child_value(call.get(), 1));
    Variant args(g_variant_get_child_value(call.get(), 2));
    if (std::string(g_variant_get_string(method.get(), nullptr)) != "Notify" ||
        g_variant_n_children(args.get()) != 8) {
      continue;
    }
    NotificationCall entry;
    entry.appName = stringArg(args.get(), 0);
    entry.appIcon = stringArg(args.get(), 2);
    entry.summary = stringArg(args.get(), 3);
    entry.body = stringArg(args.get(), 4);
    {
      Variant boxed(g_variant_get_child_value(args.get(), 1));
      Variant value(g_variant_get_variant(boxed.get()));
      if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_UINT32)) {
        entry.replacesId = g_variant_get_uint32(value.get());
      }
    }
    {
      Variant boxed(g_variant_get_child_value(args.get(), 5));
      Variant value(g_variant_get_variant(boxed.get()));
      if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING_ARRAY)) {
        const gsize n = g_variant_n_children(value.get());
        for (gsize k = 0; k < n; ++k) {
          Variant action(g_variant_get_child_value(value.get(), k));
          entry.actions.emplace_back(g_variant_get_string(action.get(), nullptr));
        }
      }
    }
    {
      Variant boxed(g_variant_get_child_value(args.get(), 6));
      Variant value(g_variant_get_variant(boxed.get()));
      if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_VARDICT)) {
        const gsize n = g_variant_n_children(value.get());
        for (gsize k = 0; k < n; ++k) {
          Variant pair(g_variant_get_child_value(value.get(), k));
          Variant key(g_variant_get_child_value(pair.get(), 0));
          entry.hintKeys.emplace_back(g_variant_get_string(key.get(), nullptr));
        }
      }
    }
    {
      Variant boxed(g_variant_get_child_value(args.get(), 7));
      Variant value(g_variant_get_variant(boxed.get()));
      if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_INT32)) {
        entry.expireTimeout = g_variant_get_int32(value.get());
      }
    }
    calls.push_back(std::move(entry));
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

std::vector<MockCall> logindCalls(const HeadlessDesktop& desktop) {
  return mockCalls(desktop.env(), Bus::system, "org.freedesktop.login1", "/org/freedesktop/login1");
}

}  // namespace zorv::e2e
