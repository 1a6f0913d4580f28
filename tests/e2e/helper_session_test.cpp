// The real helper's own reports on a private desktop: the alert of an
// undecodable request, seen through the accessibility bus; the exit without
// accessibility.

#include <gmock/gmock.h>

#include "e2e_session.h"

namespace zorv::e2e {
namespace {

using ::testing::ElementsAre;

class HelperSession : public DesktopSuite<> {};

TEST_F(HelperSession, AnUndecodableRequestOpensTheAlertAndLaterRequestsStillRun) {
  auto helper = startHelper(*desktop);
  const auto before = helper->lines().size();
  emitRequest(desktop->env(), R"({"noSuchAction":{}})");
  const auto alerts = waitForAlerts(*desktop);
  ASSERT_EQ(alerts.size(), 1u) << helper->transcript();
  EXPECT_TRUE(alerts[0].find("label", "Unrecognized action"));
  EXPECT_TRUE(alerts[0].find("label", "You may need to upgrade the helper."));
  std::vector<std::string> buttons;
  std::function<void(const AccessibleNode&)> collect = [&](const AccessibleNode& node) {
    if (node.role == "push button") buttons.push_back(node.name);
    for (const auto& child : node.children) collect(child);
  };
  collect(alerts[0]);
  EXPECT_THAT(buttons, ElementsAre("Cancel"));

  // While the alert is open, the next request runs.
  emitRequest(desktop->env(), marker("after the alert"));
  ASSERT_TRUE(helper->waitForLine(markerLine("after the alert"), before)) << helper->transcript();
  const auto lines = helper->lines();
  EXPECT_THAT(std::vector(lines.begin() + std::ptrdiff_t(before),
                          lines.begin() + std::ptrdiff_t(std::min(before + 5, lines.size()))),
              ElementsAre("", "", "in helper", "unexpected, supposed to be replaced by menuCommand",
                          markerLine("after the alert")));
  // Ending it with the alert still open ends it cleanly.
  expectCleanStop(*helper);
}

TEST(HelperWithoutAccessibility, LogsThePermissionLineAndExitsForAServiceManager) {
  HeadlessDesktop desktop({.notifications = false, .logind = false, .accessibility = false});
  ChildProcess helper({ZORV_E2E_HELPER}, desktop.env());
  const auto status = helper.wait();
  ASSERT_TRUE(status) << helper.transcript();
  EXPECT_EQ(status->code, 77) << status->describe();
  EXPECT_THAT(
      helper.lines(Stream::err),
      ::testing::Contains(::testing::EndsWith("] No accessibility API permission, exiting")));
  EXPECT_THAT(helper.lines(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace zorv::e2e
