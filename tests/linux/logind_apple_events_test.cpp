// Core events through logind: the descriptor table, what is sent for 'slep',
// and how the bus's failures map onto the platform's statuses.

#include <gmock/gmock.h>

#include <gio/gio.h>

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

// A stand-in for logind with one Suspend method whose body the test chooses.
std::unique_ptr<MockService> logind(const PrivateBus& bus, const std::string& suspendCode) {
  auto mock =
      std::make_unique<MockService>(bus.address(), true, "org.freedesktop.login1",
                                    "/org/freedesktop/login1", "org.freedesktop.login1.Manager");
  EXPECT_EQ(mock->control("AddMethod", g_variant_new("(sssss)", "org.freedesktop.login1.Manager",
                                                     "Suspend", "b", "", suspendCode.c_str())),
            "()");
  return mock;
}

TEST(LogindAppleEvents, SleepIsSuspendWithoutInteractionAndNoLogindOrARefusalIsReported) {
  PrivateBus privateBus;
  ScopedVariable bus("DBUS_SYSTEM_BUS_ADDRESS", privateBus.address());
  LogindAppleEvents events;
  EXPECT_EQ(send(events, kSlep), linux_desktop::kProcNotFound);  // no logind on the bus
  {
    auto standIn = logind(privateBus, "");
    EXPECT_EQ(send(events, kSlep), port::kSuccess);
    const std::string calls = standIn->control("GetCalls", nullptr);
    EXPECT_THAT(calls, ::testing::HasSubstr("'Suspend', [<false>]"));
    EXPECT_EQ(calls.find("Suspend"), calls.rfind("Suspend")) << "called once";
  }
  auto refusing = logind(privateBus,
                         "raise dbus.exceptions.DBusException('not allowed', "
                         "name='org.freedesktop.DBus.Error.AccessDenied')");
  EXPECT_EQ(send(events, kSlep), linux_desktop::kErrAEPrivilegeError);
}

}  // namespace
}  // namespace zorv::testing
