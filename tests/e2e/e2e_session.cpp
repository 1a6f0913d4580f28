#include "e2e_session.h"

#include <gio/gio.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

namespace zorv::e2e {
namespace {

std::optional<std::string> runReader(const Environment& env, std::vector<std::string> args,
                                     Duration timeout, std::string* problem = nullptr);

}  // namespace

// The helper subscribes to requests once it has launched, and a request sent
// before is lost: sends `probe` until one is executed, then lets probes still
// on their way arrive, so that they are not taken for later requests' lines.
bool waitUntilListening(ChildProcess& helper, const Environment& env, const std::string& probe) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    emitRequest(env, probe);
    if (helper.waitForLine("in helper", 0, std::chrono::milliseconds(50))) {
      helper.waitForLine([](const std::string&) { return false; }, 0,
                         std::chrono::milliseconds(300));
      return true;
    }
  }
  return false;
}

std::unique_ptr<ChildProcess> startHelper(const HeadlessDesktop& desktop,
                                          const std::string& probe) {
  auto helper =
      std::make_unique<ChildProcess>(std::vector<std::string>{ZORV_E2E_HELPER}, desktop.env());
  EXPECT_TRUE(waitUntilListening(*helper, desktop.env(), probe)) << helper->transcript();
  return helper;
}

std::unique_ptr<ChildProcess> startApp(const HeadlessDesktop& desktop, const std::string& name,
                                       std::vector<std::string> options) {
  options.insert(options.begin(), {ZORV_E2E_SAMPLE_APP, "--name", name, "--print-ready"});
  auto app = std::make_unique<ChildProcess>(options, desktop.env());
  EXPECT_TRUE(app->waitForLine("ready")) << app->transcript();
  // Only the application itself: the whole tree of a big one takes longer to
  // read than the wait allows under the thread sanitizer.
  std::string problem;
  EXPECT_TRUE(
      runReader(desktop.env(), {"--app", name, "--depth", "0"}, std::chrono::seconds(20), &problem))
      << problem;
  return app;
}

std::vector<AccessibleNode> waitForAlerts(const HeadlessDesktop& desktop, std::size_t count,
                                          Duration timeout) {
  std::vector<AccessibleNode> alerts;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (alerts.size() < count && std::chrono::steady_clock::now() < deadline) {
    alerts.clear();
    if (auto helper = accessibleApplication(desktop.env(), "zorv-helper", timeout)) {
      std::copy_if(helper->children.begin(), helper->children.end(), std::back_inserter(alerts),
                   [](const AccessibleNode& node) { return node.role == "alert"; });
    }
  }
  return alerts;
}

void expectCleanStop(ChildProcess& helper) {
  EXPECT_TRUE(helper.running()) << helper.transcript();
  const auto status = helper.terminate();
  EXPECT_TRUE(status.success()) << status.describe() << "\n" << helper.transcript();
  EXPECT_THAT(helper.lines(Stream::err),
              ::testing::Not(::testing::Contains(::testing::HasSubstr("Sanitizer"))));
}

std::string menuCommand(const std::string& title) {
  return nlohmann::json{{"menuCommand", {{"info", {{"menuTitle", title}}}}}}.dump();
}
std::string marker(const std::string& text) {
  return nlohmann::json{{"menu", {{"menuItems", {text}}}}}.dump();
}
std::string markerLine(const std::string& text) {
  return R"([")" + text + R"("])";
}

std::vector<std::string> markersSince(const ChildProcess& helper, std::size_t from) {
  std::vector<std::string> found;
  const auto lines = helper.lines();
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i].starts_with(R"([")") && lines[i].ends_with(R"("])")) {
      found.push_back(lines[i].substr(2, lines[i].size() - 4));
    }
  }
  return found;
}

std::size_t countSince(const ChildProcess& helper, std::size_t from, const std::string& text) {
  const auto lines = helper.lines();
  return std::size_t(
      std::count(lines.begin() + std::ptrdiff_t(std::min(from, lines.size())), lines.end(), text));
}

namespace {

enum class Bus { session, system };

// One call a dbusmock object recorded: strings as they are, other values in
// GVariant text form ("uint32 0" is "0").
struct MockCall {
  std::string method;
  std::vector<std::string> args;
};

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

std::vector<MockCall> mockCalls(const Environment& env, Bus bus, const std::string& name,
                                const std::string& path) {
  GDBusConnection* connection = connect(env, bus);
  GError* error = nullptr;
  GVariant* reply(g_dbus_connection_call_sync(
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
  g_variant_get(reply, "(a(tsav))", &list);
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
  g_variant_unref(reply);
  return calls;
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

std::vector<NotificationCall> notificationCalls(const HeadlessDesktop& desktop, std::size_t count,
                                                Duration timeout) {
  // The mock only records; polling its record is the simplest reliable wait.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (std::vector<NotificationCall> calls;; calls.clear()) {
    for (const MockCall& call :
         mockCalls(desktop.env(), Bus::session, "org.freedesktop.Notifications",
                   "/org/freedesktop/Notifications")) {
      if (call.method == "Notify" && call.args.size() == 8) {
        calls.push_back({call.args[0], call.args[1], call.args[3], call.args[4]});
      }
    }
    if (calls.size() >= count || std::chrono::steady_clock::now() >= deadline) return calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::vector<std::string> summariesSince(const HeadlessDesktop& desktop, std::size_t from,
                                        std::size_t count) {
  std::vector<std::string> summaries;
  const auto calls = notificationCalls(desktop, from + count);
  for (std::size_t i = from; i < calls.size(); ++i) summaries.push_back(calls[i].summary);
  return summaries;
}

std::vector<std::string> logindCalls(const HeadlessDesktop& desktop) {
  std::vector<std::string> methods;
  for (const MockCall& call :
       mockCalls(desktop.env(), Bus::system, "org.freedesktop.login1", "/org/freedesktop/login1")) {
    methods.push_back(call.method);
  }
  return methods;
}

namespace {

AccessibleNode fromJson(const nlohmann::json& json) {
  AccessibleNode node{json.at("role"), json.at("name"), json.at("states"), {}};
  for (const auto& child : json.at("children")) node.children.push_back(fromJson(child));
  return node;
}

// The reader's output once it succeeded; its own waits end before this one.
std::optional<std::string> runReader(const Environment& env, std::vector<std::string> args,
                                     Duration timeout, std::string* problem) {
  args.insert(args.begin(), {"/usr/bin/python3", ZORV_E2E_ATSPI_DUMP});
  args.insert(args.end(), {"--timeout", std::to_string(double(timeout.count()) / 1000)});
  ChildProcess reader(args, env);
  const auto status = reader.wait(timeout + std::chrono::seconds(10));
  if (!status || !status->success()) {
    if (!status) reader.terminate();
    if (problem != nullptr) {
      *problem = (status ? "" : "still reading after its time-out\n") + reader.transcript();
    }
    return std::nullopt;
  }
  std::string text;
  for (const std::string& line : reader.lines()) text += (text.empty() ? "" : "\n") + line;
  return text;
}

}  // namespace

bool AccessibleNode::hasState(const std::string& state) const {
  return std::find(states.begin(), states.end(), state) != states.end();
}

const AccessibleNode* AccessibleNode::find(const std::string& wantedRole,
                                           const std::optional<std::string>& wantedName) const {
  if (role == wantedRole && (!wantedName || name == *wantedName)) return this;
  for (const AccessibleNode& node : children) {
    if (const AccessibleNode* found = node.find(wantedRole, wantedName)) return found;
  }
  return nullptr;
}

std::vector<std::string> AccessibleNode::namesOf(const std::string& wantedRole) const {
  std::vector<std::string> names;
  if (role == wantedRole) names.push_back(name);
  for (const AccessibleNode& node : children) {
    for (auto& found : node.namesOf(wantedRole)) names.push_back(std::move(found));
  }
  return names;
}

std::optional<AccessibleNode> accessibleApplication(const Environment& env, const std::string& app,
                                                    Duration timeout, std::string* problem) {
  const auto text = runReader(env, {"--app", app}, timeout, problem);
  if (!text) return std::nullopt;
  const nlohmann::json json = nlohmann::json::parse(*text, nullptr, false);
  if (json.is_array() && !json.empty()) return fromJson(json[0]);
  if (problem != nullptr) *problem = "unreadable output:\n" + *text;
  return std::nullopt;
}

std::optional<std::string> textFieldContents(const Environment& env, const std::string& app) {
  return runReader(env, {"--text", app}, kDefaultTimeout);
}

std::string textFieldContents(const Environment& env, const std::string& app,
                              const std::string& expected) {
  std::string text;
  for (int attempt = 0; attempt < 200 && text != expected; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    text = textFieldContents(env, app).value_or("<unreadable>");
  }
  return text;
}

std::string swaymsg(const Environment& env, std::vector<std::string> args) {
  args.insert(args.begin(), "swaymsg");
  ChildProcess child(args, env);
  child.wait();
  std::string text;
  for (const auto& line : child.lines()) text += line + "\n";
  return text;
}

}  // namespace zorv::e2e
