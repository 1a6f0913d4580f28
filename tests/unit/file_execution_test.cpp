// `executeFile` on the in-memory desktop: argument splitting, the start and its
// lines, the standard-error report and its file, the run-time limit, and
// failures to start.

#include <gmock/gmock.h>

#include <chrono>
#include <cmath>

#include "desktop/memory_desktop.h"
#include "helper/argument_splitting.h"
#include "helper/file_runner.h"
#include "helper_fixture.h"

namespace zorv::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

std::string executeFileRequest(const std::string& path, std::optional<std::string> arguments) {
  return helper::encodeHelperAction(
      {helper::HelperAction::ExecuteFile{path, std::move(arguments)}});
}

std::vector<std::uint8_t> bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

struct SplitCase {
  const char* name;
  std::optional<std::string> text;
  std::optional<std::vector<std::string>> arguments;
};

class ExecuteFileArguments : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ExecuteFileArguments, SplitAtWhiteSpaceAndLineBreaks) {
  EXPECT_EQ(helper::executeFileArguments(GetParam().text), GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExecuteFileArguments,
    ::testing::Values(
        SplitCase{"runsAndEnds", "  -a\t-b\n\n-c  ", std::vector<std::string>{"-a", "-b", "-c"}},
        SplitCase{"quotesAreOrdinary", "\"two words\"",
                  std::vector<std::string>{"\"two", "words\""}},
        SplitCase{"backslashesAreOrdinary", "a\\ b 'c'",
                  std::vector<std::string>{"a\\", "b", "'c'"}},
        SplitCase{"everyBreakAndUnicodeSpace",
                  "a\vb\fc\rd\xC2\x85"
                  "e\xE2\x80\xA8"
                  "f\xE2\x80\xA9g\xC2\xA0h\xE2\x80\x83i",
                  std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g", "h", "i"}},
        // Not in the set: zero-width space and the byte-order mark.
        SplitCase{"formatCharactersStay",
                  "a\xE2\x80\x8B"
                  "b\xEF\xBB\xBF"
                  "c",
                  std::vector<std::string>{"a\xE2\x80\x8B"
                                           "b\xEF\xBB\xBF"
                                           "c"}},
        SplitCase{"empty", "", std::vector<std::string>{}},
        SplitCase{"separatorsOnly", " \n\t\r\n ", std::vector<std::string>{}},
        SplitCase{"absent", std::nullopt, std::nullopt}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(StandardErrorReport, IsByteForByteTheHeadingTextPathAndArguments) {
  EXPECT_EQ(helper::standardErrorReport(bytes("oops"), "/usr/local/bin/tool", {"-v"}),
            "File execution error:\noops\n\n/usr/local/bin/tool\nwith the arguments:\n[\"-v\"]");
  EXPECT_EQ(helper::standardErrorReport(bytes("line 1\nline 2\n"), "/t", {}),
            "File execution error:\nline 1\nline 2\n\n\n/t\nwith the arguments:\n[]");
  EXPECT_EQ(helper::standardErrorReport(bytes("x"), "/t", {"say \"hi\"", "a\tb"}),
            "File execution error:\nx\n\n/t\nwith the arguments:\n[\"say \\\"hi\\\"\", \"a\\tb\"]");
  // Text that is not UTF-8 is replaced by one line.
  EXPECT_EQ(helper::standardErrorReport({0x6f, 0xff, 0x6f}, "/t", {}),
            "File execution error:\nfailed to read the standard error\n\n/t\nwith the "
            "arguments:\n[]");
}

TEST(MessageFileName, IsTheTimeRoundedHalfAwayFromZeroWithPointZeroThenTheNumber) {
  struct Case {
    double seconds;
    int number;
    const char* name;
  };
  for (const auto& c : std::vector<Case>{
           {1733412345.4, 1, "message-generated-by-morvek-1733412345.0.txt"},
           {1733412345.5, 1, "message-generated-by-morvek-1733412346.0.txt"},
           {1733412345.0, 1, "message-generated-by-morvek-1733412345.0.txt"},
           {1733412344.5, 1, "message-generated-by-morvek-1733412345.0.txt"},  // not to even
           {1733412345.999, 1, "message-generated-by-morvek-1733412346.0.txt"},
           {1733412345.4, 2, "message-generated-by-morvek-1733412345.0-2.txt"},
           {1733412345.5, 17, "message-generated-by-morvek-1733412346.0-17.txt"},
       }) {
    EXPECT_EQ(helper::messageFileName(c.seconds, c.number), c.name) << std::fixed << c.seconds;
  }
}

TEST(ExecutableFileLaunchError, ItsDescriptionIsTheGivenText) {
  EXPECT_EQ(helper::ExecutableFileLaunchError("it broke").localizedDescription(), "it broke");
  EXPECT_EQ(helper::ExecutableFileLaunchError(std::nullopt).localizedDescription(),
            "The operation couldn’t be completed. (zorv_helper.ExecutableFileLaunchError error "
            "1.)");
}

class ExecuteFile : public HelperOnMemoryDesktop {
 protected:
  void SetUp() override { launch(); }
  MemoryTask& task() {
    EXPECT_EQ(desktop.tasks.created.size(), 1u);
    return *desktop.tasks.created.at(0);
  }
  static double now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

TEST_F(ExecuteFile, StartsInTheBackgroundWithNoEnvironmentAndPrintsTwoLines) {
  run(executeFileRequest("/opt/tool", "-v  -w"));
  auto& started = task();
  EXPECT_EQ(started.launchPath_, "/opt/tool");
  EXPECT_THAT(started.arguments_, ElementsAre("-v", "-w"));
  ASSERT_TRUE(started.environment_.has_value());
  EXPECT_THAT(*started.environment_, IsEmpty());
  EXPECT_TRUE(started.stderr_);
  // Nobody reads standard output in the background: it goes nowhere.
  EXPECT_TRUE(started.discardsOutput_);
  EXPECT_FALSE(started.stdout_);
  EXPECT_THAT(
      printed(),
      ElementsAre("in helper", "launching /opt/tool with arguments [\"-v\", \"-w\"]", "launched"));
  EXPECT_EQ(desktop.dispatch.pendingDelayed(), 1u);  // the run-time limit
  EXPECT_THAT(desktop.log.withPrefix("task: wait"), IsEmpty());
}

TEST_F(ExecuteFile, StandardErrorIsWrittenToAMessageFileThatTheDefaultApplicationOpens) {
  desktop.tasks.writesToStandardError = "oops";
  const double before = now();
  run(executeFileRequest("/opt/tool", "-v"));
  const double after = now();

  ASSERT_EQ(desktop.files.files.size(), 1u);
  const auto& [path, contents] = *desktop.files.files.begin();
  EXPECT_EQ(contents, "File execution error:\noops\n\n/opt/tool\nwith the arguments:\n[\"-v\"]");
  const std::string prefix = "/tmp/memory-desktop/message-generated-by-morvek-";
  ASSERT_TRUE(path.starts_with(prefix)) << path;
  ASSERT_TRUE(path.ends_with(".0.txt")) << path;
  const double stamp = std::stod(path.substr(prefix.size()));
  EXPECT_GE(stamp, std::round(before));
  EXPECT_LE(stamp, std::round(after));

  ASSERT_EQ(desktop.workspace.openRequests.size(), 1u);
  EXPECT_EQ(desktop.workspace.openRequests[0].kind, MemoryWorkspace::OpenRequest::Kind::url);
  EXPECT_THAT(desktop.workspace.openRequests[0].urls, ElementsAre("file://" + path));
  EXPECT_THAT(desktop.alerts.shown, IsEmpty());
  EXPECT_THAT(notificationTitles(), IsEmpty());
}

// Reports of one second never replace each other: each takes the first free
// name of its second, and that file is the one opened.
class MessageFilesOfOneSecond : public ExecuteFile, public ::testing::WithParamInterface<int> {};

TEST_P(MessageFilesOfOneSecond, TakeTheFirstFreeNameAndLeaveTheOthers) {
  const int taken = GetParam();
  desktop.tasks.writesToStandardError = "oops";
  // The report is stamped with this second or the next: names taken in both.
  const double start = now();
  for (const double second : {start, start + 1}) {
    for (int number = 1; number <= taken; ++number) {
      desktop.files
          .files[desktop.files.temporaryDirectory() + helper::messageFileName(second, number)] =
          "earlier";
    }
  }
  const auto before = desktop.files.files;
  run(executeFileRequest("/opt/tool", std::nullopt));

  ASSERT_EQ(desktop.files.files.size(), before.size() + 1);
  std::string added;
  for (const auto& [path, contents] : desktop.files.files) {
    if (!before.contains(path)) {
      added = path;
    } else {
      EXPECT_EQ(contents, "earlier") << path;
    }
  }
  EXPECT_TRUE(added.ends_with(".0-" + std::to_string(taken + 1) + ".txt")) << added;
  ASSERT_EQ(desktop.workspace.openRequests.size(), 1u);
  EXPECT_THAT(desktop.workspace.openRequests[0].urls, ElementsAre("file://" + added));
}

INSTANTIATE_TEST_SUITE_P(Taken, MessageFilesOfOneSecond, ::testing::Values(1, 3));

TEST_F(ExecuteFile, AChildThatWritesOnlyToStandardOutputCausesNothing) {
  desktop.tasks.writesToStandardOutput = "all is well";
  run(executeFileRequest("/opt/tool", std::nullopt));
  EXPECT_THAT(desktop.files.files, IsEmpty());
  EXPECT_THAT(desktop.workspace.openRequests, IsEmpty());
  EXPECT_THAT(desktop.alerts.shown, IsEmpty());
}

TEST_F(ExecuteFile, AFileThatCannotBeWrittenPrintsWhyAndOpensNothing) {
  struct Case {
    port::PlatformError error;
    std::size_t writes;  // every name of the second is tried for a taken one
  };
  for (const auto& c :
       std::vector<Case>{{{"NSPOSIXErrorDomain", 28, "No space left."}, 1},
                         {{port::kFileErrorDomain, port::kFileWriteFileExistsError, "It exists."},
                          helper::FileRunner::kMessageFilesPerSecond}}) {
    desktop.files.writes = 0;
    desktop.console.lines.clear();
    desktop.tasks.writesToStandardError = "oops";
    desktop.files.writeError = c.error;
    run(executeFileRequest("/opt/tool", std::nullopt));
    EXPECT_EQ(desktop.files.writes, c.writes);
    EXPECT_THAT(
        desktop.console.lines,
        ElementsAre("in helper", "launching /opt/tool with arguments []", "launched",
                    c.error.localizedDescription, "failed to write message in temporary file"));
  }
  EXPECT_THAT(desktop.workspace.openRequests, IsEmpty());
  EXPECT_THAT(desktop.alerts.shown, IsEmpty());
  EXPECT_THAT(notificationTitles(), IsEmpty());
}

TEST_F(ExecuteFile, AFileThatCannotBeStartedIsNotifiedAndNothingElseHappens) {
  desktop.tasks.launchError =
      port::PlatformError{"NSPOSIXErrorDomain", 2,
                          "The file “/missing” could not be started: No such file or directory."};
  run(executeFileRequest("/missing", "-v"));
  EXPECT_THAT(notifications(),
              ElementsAre(Pair("Failed to execute file",
                               "The file “/missing” could not be started: No such file or "
                               "directory.")));
  EXPECT_THAT(printed(), ElementsAre("in helper"));
  EXPECT_EQ(desktop.dispatch.pendingDelayed(), 0u);
}

TEST_F(ExecuteFile, AChildStillThereAfterTenSecondsIsTerminatedWithAnAlertAndALine) {
  run(executeFileRequest("/opt/sleeper", std::nullopt));
  desktop.dispatch.advance(9999ms);
  desktop.settle();
  EXPECT_THAT(desktop.log.withPrefix("task: terminate"), IsEmpty());
  EXPECT_THAT(desktop.alerts.shown, IsEmpty());

  desktop.dispatch.advance(1ms);
  desktop.settle();
  EXPECT_THAT(desktop.log.withPrefix("task: terminate "), ElementsAre("/opt/sleeper"));
  ASSERT_EQ(desktop.alerts.shown.size(), 1u);
  const auto& alert = desktop.alerts.shown[0];
  EXPECT_EQ(alert.style, port::AlertStyle::critical);
  EXPECT_EQ(alert.messageText, "Action execution timeout: /opt/sleeper");
  EXPECT_EQ(alert.informativeText, "");
  EXPECT_THAT(alert.buttons, ElementsAre("Cancel"));
  EXPECT_EQ(printed().back(), "Action execution timeout: /opt/sleeper");
}

TEST_F(ExecuteFile, AChildThatEndedBeforeTheLimitCausesNothing) {
  run(executeFileRequest("/opt/quick", std::nullopt));
  desktop.tasks.created.clear();  // ended: the platform no longer keeps its task
  desktop.dispatch.advance(10s);
  desktop.settle();
  EXPECT_THAT(desktop.log.withPrefix("task: terminate"), IsEmpty());
  EXPECT_THAT(desktop.alerts.shown, IsEmpty());
}

}  // namespace
}  // namespace zorv::testing
