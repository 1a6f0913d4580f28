#pragma once
// The desktop's D-Bus side, reached by address from a desktop environment:
// request signals to the helper and what the mock services were asked.

#include <string>
#include <vector>

#include "child_process.h"
#include "headless_desktop.h"

// GLib's connection type, without its headers.
struct _GDBusConnection;

namespace zorv::e2e {

// The request broadcast the helper listens for.
inline constexpr const char* kRequestObjectPath = "/name/pemu/zorv";
inline constexpr const char* kRequestInterface = "name.pemu.zorv.notification_names";
inline constexpr const char* kRequestMember = "helper_action_event";

// Emits the request signal with `json` as its one string argument on
// the session bus of `env`, and flushes it. Throws std::runtime_error on failure.
void emitRequest(const Environment& env, const std::string& json);

// A request that changes nothing and prints only "in helper".
inline constexpr const char* kNoOpRequest = R"({"switchWindow":{}})";

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

enum class Bus { session, system };

// One call a dbusmock object recorded: strings as they are, other values in
// GVariant text form ("uint32 0" is "0").
struct MockCall {
  std::string method;
  std::vector<std::string> args;
};

// org.freedesktop.DBus.Mock.GetCalls of a dbusmock object. Throws on failure.
std::vector<MockCall> mockCalls(const Environment& env, Bus bus, const std::string& name,
                                const std::string& path);

struct NotificationCall {
  std::string appName;
  std::string replacesId;
  std::string summary;
  std::string body;
};

// The Notify calls the mock notification daemon received, in order.
std::vector<NotificationCall> notificationCalls(const HeadlessDesktop& desktop);
// Waits until at least `count` Notify calls arrived; returns them all (fewer on
// time-out).
std::vector<NotificationCall> waitForNotificationCalls(const HeadlessDesktop& desktop,
                                                       std::size_t count,
                                                       Duration timeout = kDefaultTimeout);
// The summaries of the notifications after the first `from`, once there are
// `count` more (fewer on time-out).
std::vector<std::string> summariesSince(const HeadlessDesktop& desktop, std::size_t from,
                                        std::size_t count);
// The method calls the logind mock received (e.g. "Suspend" with args {"false"}).
std::vector<MockCall> logindCalls(const HeadlessDesktop& desktop);

}  // namespace zorv::e2e
