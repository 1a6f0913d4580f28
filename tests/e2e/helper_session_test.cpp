// The real helper in a private headless desktop session: requests over the
// session bus, alerts seen through the accessibility bus, notifications at the
// notification server, the permission exit and termination.

#include <gmock/gmock.h>

#include <algorithm>

#include "accessibility.h"
#include "child_process.h"
#include "desktop_bus.h"
#include "headless_desktop.h"

namespace zorv::e2e {
namespace {

using ::testing::ElementsAre;

std::size_t count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

class HelperSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { desktop = new HeadlessDesktop(); }
  static void TearDownTestSuite() {
    delete desktop;
    desktop = nullptr;
  }

  std::unique_ptr<ChildProcess> startHelper() {
    auto helper =
        std::make_unique<ChildProcess>(std::vector<std::string>{ZORV_E2E_HELPER}, desktop->env());
    EXPECT_TRUE(waitUntilListening(*helper, desktop->env())) << helper->transcript();
    return helper;
  }

  static HeadlessDesktop* desktop;
};
HeadlessDesktop* HelperSession::desktop = nullptr;

TEST_F(HelperSession, AValidRequestIsExecuted) {
  auto helper = startHelper();
  const auto before = helper->lines().size();
  emitRequest(desktop->env(), R"({"menuCommand":{"info":{"menuTitle":"File -> Nothing"}}})");
  ASSERT_TRUE(helper->waitForLine("File -> Nothing", kDefaultTimeout, Stream::out, before))
      << helper->transcript();
  EXPECT_EQ(helper->lines()[before], "in helper");
}

TEST_F(HelperSession, AnUndecodableRequestOpensTheAlertAndLaterRequestsStillRun) {
  auto helper = startHelper();
  const auto before = helper->lines().size();
  emitRequest(desktop->env(), R"({"noSuchAction":{}})");

  std::string problem;
  std::optional<AccessibleNode> alert;
  for (int attempt = 0; attempt < 100 && !alert; ++attempt) {
    auto app = accessibleApplication(desktop->env(), "zorv-helper", kDefaultTimeout, &problem);
    if (app) {
      if (const auto* node = app->find("alert")) alert = *node;
    }
  }
  ASSERT_TRUE(alert) << problem << "\n" << helper->transcript();
  EXPECT_TRUE(alert->find("label", std::string("Unrecognized action")));
  EXPECT_TRUE(alert->find("label", std::string("You may need to upgrade the helper.")));
  std::vector<std::string> buttons;
  std::function<void(const AccessibleNode&)> collect = [&](const AccessibleNode& node) {
    if (node.role == "push button") buttons.push_back(node.name);
    for (const auto& child : node.children) collect(child);
  };
  collect(*alert);
  EXPECT_THAT(buttons, ElementsAre("Cancel"));

  // While the alert is open, the next request runs.
  emitRequest(desktop->env(), R"({"menuCommand":{"info":{"menuTitle":"after the alert"}}})");
  ASSERT_TRUE(helper->waitForLine("after the alert", kDefaultTimeout, Stream::out, before))
      << helper->transcript();
  const auto lines = helper->lines();
  ASSERT_GE(lines.size(), before + 2);
  EXPECT_EQ(lines[before], "");
  EXPECT_EQ(lines[before + 1], "");

  // Ending it with the alert still open ends it cleanly.
  EXPECT_TRUE(helper->terminate().success()) << helper->transcript();
}

TEST_F(HelperSession, AThousandRequestsSentBackToBackAreAllExecutedInOrder) {
  auto helper = startHelper();
  const auto before = helper->lines().size();
  constexpr int kRequests = 1000;
  {
    RequestSender sender(desktop->env());
    for (int i = 0; i < kRequests; ++i) {
      sender.send(R"({"menu":{"menuItems":["request )" + std::to_string(i) + R"("]}})");
    }
  }
  const std::string last = R"(["request )" + std::to_string(kRequests - 1) + R"("])";
  ASSERT_TRUE(helper->waitForLine(last, std::chrono::seconds(60), Stream::out, before))
      << helper->transcript().substr(0, 4000);
  std::vector<std::string> lists;
  for (const auto& line : helper->lines()) {
    if (line.starts_with(R"(["request )")) lists.push_back(line);
  }
  ASSERT_EQ(lists.size(), std::size_t(kRequests));
  for (int i = 0; i < kRequests; ++i) {
    ASSERT_EQ(lists[std::size_t(i)], R"(["request )" + std::to_string(i) + R"("])");
  }
}

TEST_F(HelperSession, AFailureReachesTheNotificationServerWithoutBody) {
  auto helper = startHelper();
  const auto before = notificationCalls(*desktop).size();
  // Nothing is in front in this session, so the menu cannot be read.
  emitRequest(desktop->env(), R"({"menuCommand":{"info":{"menuTitle":"File"}}})");
  auto calls = waitForNotificationCalls(*desktop, before + 1);
  ASSERT_GT(calls.size(), before) << helper->transcript();
  const auto& call = calls[before];
  EXPECT_EQ(call.appName, "zorv-helper");
  EXPECT_EQ(call.summary, "Failed to get the frontmost application's menu.");
  EXPECT_EQ(call.body, "");
  EXPECT_EQ(call.replacesId, 0u);
  EXPECT_EQ(count(helper->lines(), "Failed to get the frontmost application's menu."), 1u);
}

TEST_F(HelperSession, SigtermEndsItCleanly) {
  auto helper = startHelper();
  const auto status = helper->terminate();
  EXPECT_TRUE(status.success()) << status.describe() << "\n" << helper->transcript();
}

TEST(HelperWithoutAccessibility, LogsThePermissionLineAndExitsForAServiceManager) {
  HeadlessDesktop desktop({.accessibility = false});
  ChildProcess helper({ZORV_E2E_HELPER}, desktop.env());
  const auto status = helper.finish();
  ASSERT_TRUE(status) << helper.transcript();
  EXPECT_EQ(status->code, 77) << status->describe();
  ASSERT_TRUE(helper.waitForLine(
      [](const std::string& line) {
        return line.ends_with("] No accessibility API permission, exiting");
      },
      kDefaultTimeout, Stream::err))
      << helper.transcript();
  EXPECT_TRUE(helper.lines(Stream::out).empty());
}

}  // namespace
}  // namespace zorv::e2e
