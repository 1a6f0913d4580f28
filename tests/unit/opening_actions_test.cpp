// `openURL` and `launchApp` on the in-memory desktop: what reaches the
// workspace, how the arguments text is split, and how failures are reported.

#include <gmock/gmock.h>

#include "desktop/memory_desktop.h"
#include "helper/argument_splitting.h"
#include "helper_fixture.h"

namespace zorv::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Pair;
using Kind = MemoryWorkspace::OpenRequest::Kind;

std::string openURLRequest(const std::string& url, std::optional<std::string> application) {
  return helper::encodeHelperAction(
      {helper::HelperAction::OpenURL{*helper::URL::parse(url), std::move(application)}});
}

std::string launchAppRequest(const std::string& path, std::optional<std::string> arguments) {
  return helper::encodeHelperAction({helper::HelperAction::LaunchApp{path, std::move(arguments)}});
}

class Opening : public HelperOnMemoryDesktop {
 protected:
  void SetUp() override { launch(); }  // in the current directory /home/user
};

TEST_F(Opening, WithoutApplicationTheDefaultHandlerOpensItAndNothingIsReported) {
  desktop.workspace.openURLResult = false;  // no handler: still nothing reported
  run(openURLRequest("x-unknown-scheme://thing", std::nullopt));
  ASSERT_EQ(desktop.workspace.openRequests.size(), 1u);
  EXPECT_EQ(desktop.workspace.openRequests[0].kind, Kind::url);
  EXPECT_THAT(desktop.workspace.openRequests[0].urls, ElementsAre("x-unknown-scheme://thing"));
  EXPECT_THAT(notificationTitles(), IsEmpty());
  EXPECT_THAT(printed(), ElementsAre("in helper"));
}

TEST_F(Opening, WithAnApplicationTheOneURLGoesToItWithoutSubstitution) {
  run(openURLRequest("https://example.org/a?b=c", "/opt/Editor App/editor.desktop"));
  ASSERT_EQ(desktop.workspace.openRequests.size(), 1u);
  const auto& request = desktop.workspace.openRequests[0];
  EXPECT_EQ(request.kind, Kind::urlsWithApplication);
  EXPECT_THAT(request.urls, ElementsAre("https://example.org/a?b=c"));
  EXPECT_EQ(request.applicationURL, "file:///opt/Editor%20App/editor.desktop");
  EXPECT_FALSE(request.configuration.allowsRunningApplicationSubstitution);
  EXPECT_THAT(request.configuration.arguments, IsEmpty());
  EXPECT_THAT(notificationTitles(), IsEmpty());
}

TEST_F(Opening, TheApplicationPathBecomesAFileURL) {
  desktop.files.directories = {"/home/user/Editor.app", "/Applications/Tool.app"};
  struct Case {
    std::string path;
    std::string url;
  };
  for (const auto& c : std::vector<Case>{
           {"apps/editor", "file:///home/user/apps/editor"},  // relative: current directory
           {"Editor.app", "file:///home/user/Editor.app/"},   // an existing directory
           {"/Applications/Tool.app", "file:///Applications/Tool.app/"},
           {"/opt/a%b#c?d", "file:///opt/a%25b%23c%3Fd"},
           {"/opt/\xC3\xA9", "file:///opt/%C3%A9"},
       }) {
    desktop.workspace.openRequests.clear();
    run(openURLRequest("https://example.org", c.path));
    ASSERT_EQ(desktop.workspace.openRequests.size(), 1u) << c.path;
    EXPECT_EQ(desktop.workspace.openRequests[0].applicationURL, c.url) << c.path;
  }
}

TEST_F(Opening, AFailureWithAnApplicationIsNotifiedWithTheErrorsDescription) {
  desktop.workspace.openError =
      port::PlatformError{"g-io-error-quark", 1, "Error when getting information for file"};
  send(openURLRequest("https://example.org", "/missing/app.desktop"));
  desktop.dispatch.drainMain();
  // The report waits for the workspace's completion.
  EXPECT_THAT(desktop.userNotifications.delivered, IsEmpty());
  desktop.settle();
  EXPECT_THAT(notifications(), ElementsAre(Pair("Failed to open url with application",
                                                "Error when getting information for file")));
  EXPECT_THAT(printed(), ElementsAre("in helper"));
}

TEST_F(Opening, LaunchingGoesToTheWorkspaceWithAFileURLThatIsNeverADirectory) {
  desktop.files.directories = {"/home/user/Tool.app"};
  run(launchAppRequest("Tool.app", "--new-window --quiet"));
  ASSERT_EQ(desktop.workspace.openRequests.size(), 1u);
  const auto& request = desktop.workspace.openRequests[0];
  EXPECT_EQ(request.kind, Kind::application);
  EXPECT_EQ(request.applicationURL, "file:///home/user/Tool.app");
  EXPECT_FALSE(request.configuration.allowsRunningApplicationSubstitution);
  EXPECT_THAT(request.configuration.arguments, ElementsAre("--new-window", "--quiet"));
  EXPECT_THAT(notificationTitles(), IsEmpty());
  EXPECT_THAT(printed(), ElementsAre("in helper"));
}

TEST_F(Opening, ALaunchFailureIsNotifiedWithTheErrorsDescription) {
  desktop.workspace.openError =
      port::PlatformError{"g-exec-error-quark", 8, "Failed to execute child process"};
  run(launchAppRequest("/opt/tool", std::nullopt));
  EXPECT_THAT(notifications(),
              ElementsAre(Pair("Failed to open application", "Failed to execute child process")));
  EXPECT_THAT(printed(), ElementsAre("in helper"));
}

struct SplitCase {
  const char* name;
  std::optional<std::string> text;
  std::vector<std::string> arguments;
};

class LaunchArguments : public ::testing::TestWithParam<SplitCase> {};

TEST_P(LaunchArguments, SplitAtHorizontalWhiteSpaceOnly) {
  EXPECT_THAT(helper::launchArguments(GetParam().text), ElementsAreArray(GetParam().arguments));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchArguments,
    ::testing::Values(SplitCase{"lineBreakStaysInside", "first\nsecond", {"first\nsecond"}},
                      SplitCase{"otherBreaksStayToo",
                                "a\rb\vc\fd\xC2\x85"
                                "e\xE2\x80\xA8"
                                "f",
                                {"a\rb\vc\fd\xC2\x85"
                                 "e\xE2\x80\xA8"
                                 "f"}},
                      SplitCase{"tabAndUnicodeSpaces",
                                "\t-x\xC2\xA0-y\xE2\x80\x83-z\xE3\x80\x80",
                                {"-x", "-y", "-z"}},
                      SplitCase{"quotesAreOrdinary", "\"two words\"", {"\"two", "words\""}},
                      SplitCase{"onlySpaces", " \t ", {}}, SplitCase{"absent", std::nullopt, {}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace zorv::testing
