#pragma once
// What every end-to-end suite does: a desktop (shared by a suite's tests), the
// helper of this build listening on it, the sample application in front, the
// helper's alerts, and clean stops: the helper's, and the desktop's with
// nothing of it left running (the desktop checks that itself).

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "headless_desktop.h"

// GLib's connection type, without its headers.
struct _GDBusConnection;

namespace zorv::e2e {

// Sends the request signal with `json` on the session bus of `env` (throws on failure).
void emitRequest(const Environment& env, const std::string& json);

// A request that changes nothing and prints only "in helper".
inline constexpr const char* kNoOpRequest = R"({"switchWindow":{}})";
// Where a request signal goes (the benchmarks emit it themselves).
inline constexpr const char* kRequestObjectPath = "/name/pemu/zorv";
inline constexpr const char* kRequestInterface = "name.pemu.zorv.notification_names";
inline constexpr const char* kRequestMember = "helper_action_event";

// True once the helper has executed `probe`, sent until it answers.
bool waitUntilListening(ChildProcess& helper, const Environment& env,
                        const std::string& probe = kNoOpRequest);

// One sender connection for many requests: the bus keeps one connection's
// messages in order, while separate connections may overtake each other.
class RequestSender {
 public:
  explicit RequestSender(const Environment& env);
  ~RequestSender();
  RequestSender(const RequestSender&) = delete;
  RequestSender& operator=(const RequestSender&) = delete;

  void send(const std::string& json);

 private:
  ::_GDBusConnection* bus_;
};

struct NotificationCall {
  std::string appName;
  std::string replacesId;
  std::string summary;
  std::string body;
};

// The Notify calls the mock notification daemon received, once there are `count`.
std::vector<NotificationCall> notificationCalls(const HeadlessDesktop& desktop,
                                                std::size_t count = 0,
                                                Duration timeout = kDefaultTimeout);
// The summaries of the notifications after the first `from`, once there are
// `count` more (fewer on time-out).
std::vector<std::string> summariesSince(const HeadlessDesktop& desktop, std::size_t from,
                                        std::size_t count);
// The methods the logind mock was called with, in order.
std::vector<std::string> logindCalls(const HeadlessDesktop& desktop);

// The desktop's accessibility tree, read through atspi_dump.py run as a child
// process with the desktop's environment: the test process never connects to an
// accessibility bus itself, and the reader shares no code with the helper's.
struct AccessibleNode {
  std::string role;  // AT-SPI role name: "application", "frame", "alert", "push button", ...
  std::string name;
  std::vector<std::string> states;  // state nicks: "active", "modal", ...
  std::vector<AccessibleNode> children;

  bool hasState(const std::string& state) const;
  // Depth-first search for the first node with that role (and name, when given).
  const AccessibleNode* find(const std::string& role,
                             const std::optional<std::string>& name = std::nullopt) const;
  // The names of the nodes with that role, depth-first.
  std::vector<std::string> namesOf(const std::string& role) const;
};

// The tree of the application named `app`, once it appears; nullopt on time-out
// (or when the reader failed), with the reason in *problem.
std::optional<AccessibleNode> accessibleApplication(const Environment& env, const std::string& app,
                                                    Duration timeout = kDefaultTimeout,
                                                    std::string* problem = nullptr);

// The text of the app's first text field.
std::optional<std::string> textFieldContents(const Environment& env, const std::string& app);
// The same once it equals `expected`, or what it was at the time-out.
std::string textFieldContents(const Environment& env, const std::string& app,
                              const std::string& expected);
// What `swaymsg ARGS` printed, with the desktop's socket.
std::string swaymsg(const Environment& env, std::vector<std::string> args);

// The helper of this build, listening once this returns: `probe` was executed.
std::unique_ptr<ChildProcess> startHelper(const HeadlessDesktop& desktop,
                                          const std::string& probe = kNoOpRequest);
// The sample application named `name`, ready and on the accessibility bus.
std::unique_ptr<ChildProcess> startApp(const HeadlessDesktop& desktop, const std::string& name,
                                       std::vector<std::string> options = {});
// The helper's open alerts once there are `count` of them (or at the time-out).
std::vector<AccessibleNode> waitForAlerts(const HeadlessDesktop& desktop, std::size_t count = 1,
                                          Duration timeout = std::chrono::seconds(20));
// Ends the helper as a service manager would: it must still be running, and end
// with status 0, under the sanitizers without a finding.
void expectCleanStop(ChildProcess& helper);

std::string menuCommand(const std::string& title);
// A `menu` request prints its list of titles before anything else, which makes
// it a marker in the helper's output: ["text"].
std::string marker(const std::string& text);
std::string markerLine(const std::string& text);
// The markers the helper printed from line `from` on, in order.
std::vector<std::string> markersSince(const ChildProcess& helper, std::size_t from);
std::size_t countSince(const ChildProcess& helper, std::size_t from, const std::string& text);

// A suite whose tests share one desktop. ctest runs each such suite in one
// process; a test must leave the desktop as it found it (no application or
// helper of its own left running, no service stopped).
template <HeadlessDesktopOptions options = HeadlessDesktopOptions{}>
class DesktopSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { desktop = std::make_unique<HeadlessDesktop>(options); }
  static void TearDownTestSuite() { desktop.reset(); }
  static inline std::unique_ptr<HeadlessDesktop> desktop;
};

}  // namespace zorv::e2e
