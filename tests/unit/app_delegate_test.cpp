// The request path: launch, permission, registrations, decoding, queueing, the
// "Unrecognized action" alert, activations and termination.

#include <gmock/gmock.h>

#include "unit/helper_fixture.h"

namespace zorv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kRequestName = "name.pemu.zorv.notification_names.helper_action_event";

using Launch = HelperOnMemoryDesktop;

TEST_F(Launch, TrustedRegistersForRequestsThenActivations) {
  launch();
  EXPECT_THAT(
      desktop.log.lines(),
      ElementsAre("application: run", "AXIsProcessTrustedWithOptions prompt=true",
                  std::string("distributed: addObserver name=") + kRequestName + " suspension=4",
                  "workspace: addObserver name=NSWorkspaceDidActivateApplicationNotification"));
  EXPECT_FALSE(desktop.application.terminated());
}

TEST_F(Launch, UntrustedLogsTerminatesAndNeverListens) {
  desktop.accessibility.trusted = false;
  launch();
  EXPECT_THAT(desktop.log.withPrefix("log: "),
              ElementsAre("No accessibility API permission, exiting"));
  EXPECT_TRUE(desktop.application.terminated());
  EXPECT_THAT(desktop.log.withPrefix("distributed: addObserver"), IsEmpty());
  EXPECT_THAT(desktop.log.withPrefix("workspace: addObserver"), IsEmpty());

  run(R"({"sleep":{}})");
  EXPECT_THAT(out(), IsEmpty());
}

TEST_F(Launch, TerminationRemovesTheRequestRegistration) {
  launch();
  desktop.application.terminate();
  EXPECT_EQ(desktop.distributed.registrations(), 0u);
  run(R"({"sleep":{}})");
  EXPECT_THAT(out(), IsEmpty());
}

using Requests = HelperOnMemoryDesktop;

TEST_F(Requests, RunInPostingOrderEachAfterTheHandlerReturned) {
  launch();
  send(R"({"menuCommand":{"info":{"menuTitle":"first"}}})");
  send(R"({"menuCommand":{"info":{"menuTitle":"second"}}})");
  // Both handlers have returned and nothing has run yet.
  EXPECT_THAT(out(), IsEmpty());
  EXPECT_EQ(desktop.dispatch.pendingMain(), 2u);

  desktop.dispatch.drainMain();
  // No frontmost application: each ends with report A before the next starts.
  const std::string reportA = "Failed to get the frontmost application's menu.";
  EXPECT_THAT(out(), ElementsAre("in helper", "first", reportA, "in helper", "second", reportA));
}

TEST_F(Requests, UndecodableGivesTwoEmptyLinesAnAlertAndLaterRequestsStillRun) {
  launch();
  send(R"({"noSuchAction":{}})");
  send(R"({"sleep":{}})");
  EXPECT_THAT(out(), ElementsAre("", ""));
  EXPECT_THAT(desktop.alerts.shown, IsEmpty());  // shown later, from the main queue
  desktop.settle();

  EXPECT_THAT(out(), ElementsAre("", "", "in helper"));
  ASSERT_EQ(desktop.alerts.shown.size(), 1u);
  const auto& alert = desktop.alerts.shown[0];
  EXPECT_EQ(alert.style, port::AlertStyle::critical);
  EXPECT_EQ(alert.messageText, "Unrecognized action");
  EXPECT_EQ(alert.informativeText, "You may need to upgrade the helper.");
  EXPECT_THAT(alert.buttons, ElementsAre("Cancel"));
}

TEST_F(Requests, NotificationsThatAreNoRequestYieldNoAction) {
  launch();
  struct Case {
    const char* what;
    port::Notification notification;
  };
  const Case cases[] = {
      {"no object", {kRequestName, std::nullopt, std::nullopt}},
      {"object not a string", {kRequestName, port::OpaqueObject{"42"}, std::nullopt}},
      {"invalid UTF-8", {kRequestName, std::string("{\"sleep\":{}}\xff"), std::nullopt}},
      {"empty text", {kRequestName, std::string(), std::nullopt}},
      {"another name",
       {"name.pemu.zorv.notification_names.other", std::string(R"({"sleep":{}})"), std::nullopt}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    desktop.console.lines.clear();
    desktop.alerts.shown.clear();
    delegate.helperActionNotificationReceived(c.notification);
    desktop.settle();
    EXPECT_THAT(out(), ElementsAre("", ""));
    EXPECT_EQ(desktop.alerts.shown.size(), 1u);
  }
}

using Activations = HelperOnMemoryDesktop;

TEST_F(Activations, MalformedActivationNotificationsPrintOneLine) {
  launch();
  desktop.workspace.postWorkspaceNotification(
      {port::kWorkspaceDidActivateApplicationNotification, std::nullopt, std::nullopt});
  desktop.workspace.postWorkspaceNotification(
      {port::kWorkspaceDidActivateApplicationNotification, std::nullopt,
       std::map<std::string, port::NotificationObject>{{"other", std::string("x")}}});
  desktop.workspace.postWorkspaceNotification(
      {port::kWorkspaceDidActivateApplicationNotification, std::nullopt,
       std::map<std::string, port::NotificationObject>{
           {port::kWorkspaceApplicationKey, std::string("not an application")}}});
  ASSERT_EQ(out().size(), 3u);
  EXPECT_TRUE(out()[0].starts_with("unexpectedly found nil while accessing userInfo of "));
  EXPECT_TRUE(out()[1].starts_with("failed to access running application from userInfo of "));
  EXPECT_TRUE(out()[2].starts_with("failed to access running application from userInfo of "));
  EXPECT_NE(out()[0].find("NSWorkspaceDidActivateApplicationNotification"), std::string::npos);
}

TEST_F(Activations, AWellFormedActivationPrintsNothing) {
  desktop.workspace.launch(42, "Editor");
  launch();
  desktop.workspace.activate(42);
  EXPECT_THAT(out(), IsEmpty());
}

}  // namespace
}  // namespace zorv::testing
