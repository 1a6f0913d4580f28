#pragma once
// The accessibility bus, reached through the session bus's org.a11y.Bus, and
// the calls the accessibility port makes on it, with D-Bus failures turned into
// the platform's accessibility result codes.

#include <gio/gio.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "port/types.h"

namespace zorv::linux_desktop {

// An owned GVariant.
struct VariantDeleter {
  void operator()(GVariant* v) const { g_variant_unref(v); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantDeleter>;

// One object on the accessibility bus. `connection` numbers the helper's
// connection the unique name `bus` was learnt on: a bus that is started again
// hands out the same unique names to other processes, so an object of an
// earlier connection is gone, not someone else's. 0: a well-known name, which
// means the same on every connection.
struct AtspiRef {
  std::string bus;
  std::string path;
  std::uint64_t connection = 0;
  bool operator==(const AtspiRef&) const = default;
};

inline constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
inline constexpr const char* kNullPath = "/org/a11y/atspi/null";

struct AtspiReply {
  port::StatusCode code = 0;
  VariantPtr value;
  bool ok() const { return code == 0; }
};

// One call of a batch (AtspiBus::callMany). `parameters` may be floating; the
// batch takes it.
struct AtspiCall {
  AtspiRef ref;
  const char* interface;
  const char* method;
  GVariant* parameters;
  const GVariantType* replyType;
  port::StatusCode unsupported;
};

class AtspiBus {
 public:
  explicit AtspiBus(GDBusConnection* sessionBus);
  ~AtspiBus();
  AtspiBus(const AtspiBus&) = delete;
  AtspiBus& operator=(const AtspiBus&) = delete;

  // Connects when not connected yet (or after the bus went away); false when
  // there is no accessibility bus.
  bool connect();

  // An object named in a reply on the current connection.
  AtspiRef object(std::string bus, std::string path) const {
    return {std::move(bus), std::move(path), connections_};
  }

  // A call on `ref`. Unknown methods and interfaces give `unsupported`; an
  // object of an earlier connection is an invalid element. Once a call to a bus
  // name has timed out, further calls to that name fail at once (CannotComplete)
  // until the main loop has finished the work it is in (one queued request, or
  // one event): a frozen application costs a request one time-out, not one per
  // call, and answers the next request again once it is thawed.
  AtspiReply call(const AtspiRef& ref, const char* interface, const char* method,
                  GVariant* parameters, const GVariantType* replyType, int timeoutMs,
                  port::StatusCode unsupported);
  AtspiReply property(const AtspiRef& ref, const char* interface, const char* name, int timeoutMs);
  // The calls sent all at once, each answered as `call` would answer it: one
  // wait for all the replies instead of one round trip per call. Only the
  // batch's own replies are handled while it waits (a private main context).
  std::vector<AtspiReply> callMany(std::vector<AtspiCall> calls, int timeoutMs);
  // Counts the calls that may change an application (any method but the
  // readers, Get...) and the connections made: what was read before a change
  // may be out of date.
  std::uint64_t changes() const { return changes_; }

  // The applications registered on the bus (their root objects), in order.
  std::vector<AtspiRef> applications(int timeoutMs);
  // The process that owns `bus` (cached: a unique name never changes owner).
  std::optional<port::Pid> pidOf(const std::string& bus, int timeoutMs);
  // The application root of process `pid`, if it has one.
  std::optional<AtspiRef> applicationOf(port::Pid pid, int timeoutMs);
  // Asks applications to send the events of `listener` ("window:activate"); once.
  // Every application then counts the helper among its clients for as long as
  // the helper's connection lasts, and sends each key press it receives to the
  // registry before handling it (see docs/linux-backend.md, "Pressing").
  void registerEvent(const std::string& listener);

  // Waits up to `waitMs` for the application on `bus` to answer a ping. True
  // when it did. When it did not, it is busy (an action it runs holds its
  // accessibility connection, e.g. a modal dialog): every call to it fails at
  // once (CannotComplete) until the ping is answered, however late.
  bool settle(const std::string& bus, int waitMs);
  bool busy(const std::string& bus);
  GDBusConnection* connection() const { return bus_; }

 private:
  void markUnresponsive(const std::string& bus);
  void forgetUnresponsive();
  struct Ping;
  static void onPingAnswered(GObject* source, GAsyncResult* result, gpointer data);
  // The code a call on `ref` fails with before it is sent, if any.
  std::optional<port::StatusCode> refused(const AtspiRef& ref, int timeoutMs);
  // A failed call's reply; marks `bus` unresponsive when the call timed out.
  AtspiReply failed(GError* error, const std::string& bus, port::StatusCode unsupported);

  GDBusConnection* sessionBus_;
  GDBusConnection* bus_ = nullptr;
  std::uint64_t connections_ = 0;  // connections made so far; the current one's number
  std::map<std::string, port::Pid> pids_;
  std::set<std::string> registeredEvents_;
  std::set<std::string> unresponsive_;
  std::uint64_t changes_ = 0;
  guint forgetSource_ = 0;  // the idle source that clears unresponsive_
  // Pings in flight are answered on a context of their own, which only this
  // object iterates: an answer is taken in exactly when a call asks for it,
  // never in the middle of other work on the main context.
  GMainContext* pings_;
  GCancellable* cancel_;
  std::map<std::string, int> pingsInFlight_;  // bus name -> unanswered pings
  std::set<std::string> busy_;
};

}  // namespace zorv::linux_desktop
