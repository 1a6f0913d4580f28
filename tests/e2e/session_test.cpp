// The helper belongs to one desktop session: it ends with a status that a
// service manager restarts when the session bus or the display server goes away, and
// a second helper in the same session leaves the requests to the first. Without
// accessibility it ends with a status of its own.

#include <gmock/gmock.h>

#include <signal.h>

#include <chrono>

#include "e2e_session.h"

namespace zorv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;

// The helper's exit statuses (docs/linux-backend.md).
constexpr int kSessionLost = 69;
constexpr int kAlreadyRunning = 73;

struct Loss {
  const char* name;
  const char* process;  // as the desktop records it
  const char* logLine;
  bool alertOpen = false;  // GTK has a connection of its own to the X server
  bool sway = false;
};

void PrintTo(const Loss& loss, std::ostream* out) {
  *out << loss.name;
}

class SessionLoss : public ::testing::TestWithParam<Loss> {};

TEST_P(SessionLoss, EndsTheHelperWithTheRestartStatus) {
  HeadlessDesktop desktop({.sway = GetParam().sway});
  auto helper = startHelper(desktop);
  if (GetParam().alertOpen) {
    emitRequest(desktop.env(), R"({"noSuchAction":{}})");
    ASSERT_EQ(waitForAlerts(desktop).size(), 1u) << helper->transcript();
  }
  pid_t pid = 0;
  for (const auto& process : desktop.processes()) {
    if (process.name == GetParam().process) pid = process.pid;
  }
  ASSERT_GT(pid, 0);
  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  const auto status = helper->wait(2s);
  ASSERT_TRUE(status) << "still running 2 s after " << GetParam().process << " ended\n"
                      << helper->transcript();
  EXPECT_EQ(status->code, kSessionLost) << status->describe() << "\n" << helper->transcript();
  helper->wait();
  EXPECT_THAT(helper->lines(Stream::err), ElementsAre(EndsWith(GetParam().logLine)));
}

INSTANTIATE_TEST_SUITE_P(
    Helper, SessionLoss,
    ::testing::Values(
        Loss{"SessionBus", "session-bus", "] The session bus has closed, exiting"},
        Loss{"XServer", "Xvfb", "] The connection to the X server has closed, exiting"},
        Loss{"XServerUnderAnAlert", "Xvfb", "] The connection to the X server has closed, exiting",
             true},
        Loss{"Sway", "sway", "] The connection to the Wayland compositor has closed, exiting",
             false, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(OneHelperPerSession, ASecondHelperLeavesTheRequestsToTheFirst) {
  HeadlessDesktop desktop;
  auto first = startHelper(desktop);
  const auto notificationsBefore = notificationCalls(desktop).size();

  // Requests keep coming while the second one starts: it handles none.
  ChildProcess second({ZORV_E2E_HELPER}, desktop.env());
  std::optional<ExitStatus> status;
  for (int i = 0; i < 100 && !status; ++i) {
    emitRequest(desktop.env(), kNoOpRequest);
    status = second.wait(50ms);
  }
  ASSERT_TRUE(status) << "the second helper still runs\n" << second.transcript();
  EXPECT_EQ(status->code, kAlreadyRunning) << status->describe();
  second.wait();
  EXPECT_THAT(second.lines(), IsEmpty());
  EXPECT_THAT(second.lines(Stream::err),
              ElementsAre(EndsWith("] Another zorv-helper runs in this session, exiting")));

  // A failure report is posted once (nothing is in front, so no menu), as a
  // new notification of the helper's without body.
  emitRequest(desktop.env(), menuCommand("File"));
  const auto calls = notificationCalls(desktop, notificationsBefore + 1);
  ASSERT_EQ(calls.size(), notificationsBefore + 1);
  EXPECT_EQ(calls.back().appName, "zorv-helper");
  EXPECT_EQ(calls.back().replacesId, "0");
  EXPECT_EQ(calls.back().summary, "Failed to get the frontmost application's menu.");
  EXPECT_EQ(calls.back().body, "");
  expectCleanStop(*first);
  EXPECT_EQ(notificationCalls(desktop).size(), notificationsBefore + 1);

  // Once the first has ended, a new one takes over.
  auto next = startHelper(desktop);
  expectCleanStop(*next);
}

TEST(HelperWithoutAccessibility, LogsThePermissionLineAndExitsForAServiceManager) {
  HeadlessDesktop desktop({.notifications = false, .logind = false, .accessibility = false});
  ChildProcess helper({ZORV_E2E_HELPER}, desktop.env());
  const auto status = helper.wait();
  ASSERT_TRUE(status) << helper.transcript();
  EXPECT_EQ(status->code, 77) << status->describe();
  EXPECT_THAT(helper.lines(Stream::err),
              ::testing::Contains(EndsWith("] No accessibility API permission, exiting")));
  EXPECT_THAT(helper.lines(), IsEmpty());
}

}  // namespace
}  // namespace zorv::e2e
