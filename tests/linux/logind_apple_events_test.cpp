// Core events through logind: the descriptor table, what is sent for 'slep',
// and how the bus's failures map onto the platform's statuses.

#include <gmock/gmock.h>

#include <gio/gio.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "linux/logind_apple_events.h"
#include "linux/private_bus.h"

namespace zorv::testing {
namespace {

using linux_desktop::LogindAppleEvents;

const std::vector<std::uint8_t> kSystemProcess = {0, 0, 0, 0, 0, 0, 0, 1};
constexpr port::FourCharCode kPsn = port::fourCharCode("psn ");
constexpr port::FourCharCode kAevt = port::fourCharCode("aevt");
constexpr port::FourCharCode kSlep = port::fourCharCode("slep");

// Builds the event and sends it; the status of the send. Disposes everything.
port::StatusCode send(LogindAppleEvents& events, port::FourCharCode eventID,
                      const std::vector<std::uint8_t>& target = kSystemProcess) {
  const auto desc = events.createDesc(kPsn, target);
  const auto event = events.createAppleEvent(kAevt, eventID, desc.descriptor, -1, 0);
  events.disposeDesc(desc.descriptor);
  port::DescriptorId reply = 99;
  const auto status = events.sendMessage(event.descriptor, reply, port::kAENoReply, 1000);
  EXPECT_EQ(reply, 0u);
  events.disposeDesc(event.descriptor);
  return status;
}

TEST(LogindAppleEvents, DescriptorsLiveUntilDisposedAndCallsNeedLiveOnes) {
  LogindAppleEvents events;
  EXPECT_EQ(events.createAppleEvent(kAevt, kSlep, 42, -1, 0).status,
            linux_desktop::kErrAENotAEDesc);
  const auto desc = events.createDesc(kPsn, kSystemProcess);
  ASSERT_EQ(desc.status, port::kSuccess);
  port::DescriptorId reply = 0;
  EXPECT_EQ(events.sendMessage(desc.descriptor, reply, port::kAENoReply, 1000),
            linux_desktop::kErrAENotAEDesc);  // a target is no event
  const auto event = events.createAppleEvent(kAevt, kSlep, desc.descriptor, -1, 0);
  ASSERT_EQ(event.status, port::kSuccess);
  EXPECT_EQ(events.liveDescriptors(), 2u);
  EXPECT_EQ(events.disposeDesc(desc.descriptor), port::kSuccess);
  EXPECT_EQ(events.disposeDesc(desc.descriptor), linux_desktop::kErrAENotAEDesc);
  EXPECT_EQ(events.disposeDesc(0), port::kSuccess);  // the null descriptor
  EXPECT_EQ(events.disposeDesc(event.descriptor), port::kSuccess);
  EXPECT_EQ(events.liveDescriptors(), 0u);
}

TEST(LogindAppleEvents, BusFailuresMapOntoThePlatformsStatuses) {
  struct Case {
    std::string name;
    bool timedOut;
    port::StatusCode status;
  };
  for (const auto& c : std::vector<Case>{
           {"org.freedesktop.DBus.Error.ServiceUnknown", false, -600},
           {"org.freedesktop.DBus.Error.NameHasNoOwner", false, -600},
           {"org.freedesktop.DBus.Error.AccessDenied", false, -10004},
           {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", false, -10004},
           {"org.freedesktop.DBus.Error.NoReply", false, -1712},
           {"", true, -1712},
           {"org.freedesktop.login1.OperationInProgress", false, -1708},
           {"org.freedesktop.DBus.Error.UnknownMethod", false, -1708},
           {"", false, -609},
       }) {
    EXPECT_EQ(LogindAppleEvents::statusForBusError(c.name, c.timedOut), c.status) << c.name;
  }
}

TEST(LogindAppleEvents, NoSystemBusIsAnInvalidConnection) {
  ScopedVariable bus("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zorv-test-socket");
  LogindAppleEvents events;
  // Only the system process and its sleep event are reachable.
  EXPECT_EQ(send(events, kSlep, {0, 0, 0, 0, 0, 0, 0, 2}), linux_desktop::kProcNotFound);
  EXPECT_EQ(send(events, port::fourCharCode("xxxx")), linux_desktop::kErrAEEventNotHandled);
  EXPECT_EQ(send(events, kSlep), linux_desktop::kConnectionInvalid);
  EXPECT_EQ(events.liveDescriptors(), 0u);
}

// A scripted stand-in for logind on a private bus: python-dbusmock with one
// Suspend method whose body the test chooses.
class LogindStandIn {
 public:
  LogindStandIn(const std::string& address, const std::string& suspendCode)
      : mock_({"/usr/bin/python3", "-m", "dbusmock", "--system", "org.freedesktop.login1",
               "/org/freedesktop/login1", "org.freedesktop.login1.Manager"},
              {{"DBUS_SYSTEM_BUS_ADDRESS", address}}),
        bus_(connectToBus(address)) {
    if (!iterateUntil([&] { return nameHasOwner(bus_, "org.freedesktop.login1"); }, 10000)) {
      throw std::runtime_error("dbusmock did not appear");
    }
    call("AddMethod", g_variant_new("(sssss)", "org.freedesktop.login1.Manager", "Suspend", "b", "",
                                    suspendCode.c_str()));
  }
  ~LogindStandIn() { g_object_unref(bus_); }

  // The recorded calls, as GVariant text.
  std::string calls() {
    GVariant* reply = call("GetCalls", nullptr);
    if (!reply) return "";
    gchar* text = g_variant_print(reply, FALSE);
    std::string out = text;
    g_free(text);
    g_variant_unref(reply);
    return out;
  }

 private:
  GVariant* call(const char* method, GVariant* parameters) {
    return g_dbus_connection_call_sync(bus_, "org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.DBus.Mock", method, parameters, nullptr,
                                       G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  }

  TestProcess mock_;
  GDBusConnection* bus_;
};

TEST(LogindAppleEvents, SleepIsSuspendWithoutInteractionAndNoLogindOrARefusalIsReported) {
  PrivateBus privateBus;
  ScopedVariable bus("DBUS_SYSTEM_BUS_ADDRESS", privateBus.address());
  LogindAppleEvents events;
  EXPECT_EQ(send(events, kSlep), linux_desktop::kProcNotFound);  // no logind on the bus
  {
    LogindStandIn logind(privateBus.address(), "");
    EXPECT_EQ(send(events, kSlep), port::kSuccess);
    const std::string calls = logind.calls();
    EXPECT_THAT(calls, ::testing::HasSubstr("'Suspend', [<false>]"));
    EXPECT_EQ(calls.find("Suspend"), calls.rfind("Suspend")) << "called once";
  }
  LogindStandIn logind(privateBus.address(),
                       "raise dbus.exceptions.DBusException('not allowed', "
                       "name='org.freedesktop.DBus.Error.AccessDenied')");
  EXPECT_EQ(send(events, kSlep), linux_desktop::kErrAEPrivilegeError);
}

}  // namespace
}  // namespace zorv::testing
