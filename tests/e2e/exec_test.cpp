// The real helper opening, running and sleeping on a private headless desktop:
// a default application and a named one that record what they were given,
// executed files that write to standard error, read the environment, run too
// long or flood standard output, and the logind stand-in.

#include <gmock/gmock.h>

#include <gio/gio.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "accessibility.h"
#include "child_process.h"
#include "desktop_bus.h"
#include "headless_desktop.h"

namespace zorv::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Ends the helper as a service manager would; it must leave cleanly (under the
// sanitizers: without a finding, leaks included).
void expectCleanStop(ChildProcess& helper) {
  const auto status = helper.terminate();
  EXPECT_TRUE(status.success()) << status.describe() << "\n" << helper.transcript();
  for (const auto& line : helper.lines(Stream::err)) {
    EXPECT_THAT(line, ::testing::Not(HasSubstr("Sanitizer"))) << helper.transcript();
  }
}

void writeFile(const fs::path& path, const std::string& contents,
               fs::perms perms = fs::perms::owner_read | fs::perms::owner_write) {
  fs::create_directories(path.parent_path());
  std::ofstream(path.string()) << contents;
  fs::permissions(path, perms);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path.string());
  return {std::istreambuf_iterator<char>(in), {}};
}

// A shell script that records its arguments, NUL-separated, as one new file in
// `records` per run.
std::string recorderScript(const fs::path& records) {
  const std::string dir = records.string();
  return "#!/bin/sh\n"
         "out='" +
         dir +
         "'/$$\n"
         "for a in \"$@\"; do printf '%s\\000' \"$a\"; done > \"$out.part\" && mv \"$out.part\" "
         "\"$out\"\n";
}

std::vector<std::string> splitRecord(const std::string& text) {
  std::vector<std::string> arguments;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1) {
    arguments.push_back(text.substr(start, end - start));
  }
  return arguments;
}

// The first record that appears in `records` within `timeout`.
std::optional<std::vector<std::string>> waitForRecord(const fs::path& records,
                                                      Duration timeout = kDefaultTimeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    for (const auto& entry : fs::directory_iterator(records)) {
      if (entry.path().extension() != ".part") return splitRecord(readFile(entry.path()));
    }
    std::this_thread::sleep_for(20ms);
  }
  return std::nullopt;
}

// GIO hands a local file to a %u application as a path or as a file URL.
std::string pathOfFileURL(const std::string& url) {
  if (url.starts_with('/')) return url;
  gchar* path = g_filename_from_uri(url.c_str(), nullptr, nullptr);
  if (!path) return "";
  std::string result = path;
  g_free(path);
  return result;
}

class Exec : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    desktop = new HeadlessDesktop();
    const fs::path home = desktop->dir() / "exec";
    // The desktop's default application for text files and zorv-test: URLs.
    writeFile(home / "opener.sh", recorderScript(home / "opened"), fs::perms::owner_all);
    fs::create_directories(home / "opened");
    writeFile(
        fs::path(desktop->variable("XDG_DATA_HOME")) / "applications" / "zorv-test-opener.desktop",
        "[Desktop Entry]\nType=Application\nName=Zorv Test Opener\nExec=" +
            (home / "opener.sh").string() +
            " %u\nMimeType=text/plain;x-scheme-handler/zorv-test;\n");
    writeFile(fs::path(desktop->variable("XDG_CONFIG_HOME")) / "mimeapps.list",
              "[Default Applications]\ntext/plain=zorv-test-opener.desktop\n"
              "x-scheme-handler/zorv-test=zorv-test-opener.desktop\n");
    // An application named by path, and one launched with arguments.
    writeFile(home / "named.sh", recorderScript(home / "named"), fs::perms::owner_all);
    fs::create_directories(home / "named");
    writeFile(home / "named.desktop", "[Desktop Entry]\nType=Application\nName=Named\nExec=" +
                                          (home / "named.sh").string() + " --named %U\n");
  }
  static void TearDownTestSuite() {
    delete desktop;
    desktop = nullptr;
  }
  void SetUp() override {
    for (const char* records : {"opened", "named"}) {
      for (const auto& entry : fs::directory_iterator(home() / records)) fs::remove(entry.path());
    }
  }

  static fs::path home() { return desktop->dir() / "exec"; }
  static fs::path script(const std::string& name, const std::string& body) {
    const fs::path path = home() / name;
    writeFile(path, "#!/bin/sh\n" + body, fs::perms::owner_all);
    return path;
  }

  std::unique_ptr<ChildProcess> startHelper(const Environment& extra = {}) {
    Environment env = desktop->env();
    for (const auto& [name, value] : extra) env[name] = value;
    auto helper = std::make_unique<ChildProcess>(std::vector<std::string>{ZORV_E2E_HELPER}, env);
    EXPECT_TRUE(waitUntilListening(*helper, desktop->env())) << helper->transcript();
    return helper;
  }
  static void send(const nlohmann::json& request) { emitRequest(desktop->env(), request.dump()); }
  static nlohmann::json executeFile(const fs::path& path,
                                    const std::optional<std::string>& arguments) {
    nlohmann::json payload = {{"path", path.string()}};
    if (arguments) payload["argumentsText"] = *arguments;
    return {{"executeFile", payload}};
  }

  // The text of the message file the default application was asked to open.
  std::optional<std::string> openedMessage(Duration timeout = kDefaultTimeout) {
    const auto record = waitForRecord(home() / "opened", timeout);
    if (!record || record->size() != 1) return std::nullopt;
    const std::string path = pathOfFileURL(record->front());
    // A report of a second that already had one is numbered: "-2" before ".txt".
    EXPECT_THAT(
        path, ::testing::MatchesRegex(".*/message-generated-by-morvek-[0-9]+\\.0(-[0-9]+)?\\.txt"))
        << record->front();
    // Private to the user: the folder and the file.
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(fs::path(path).parent_path()).permissions() & fs::perms::mask,
              fs::perms::owner_all);
    return readFile(path);
  }

  static HeadlessDesktop* desktop;
};
HeadlessDesktop* Exec::desktop = nullptr;

TEST_F(Exec, StandardErrorOfAChildIsOpenedInTheDefaultApplication) {
  auto helper = startHelper();
  const auto oops = script("oops.sh", "printf oops >&2\n");
  const auto before = helper->lines().size();
  send(executeFile(oops, "-v"));
  const auto message = openedMessage();
  ASSERT_TRUE(message) << helper->transcript();
  EXPECT_EQ(*message,
            "File execution error:\noops\n\n" + oops.string() + "\nwith the arguments:\n[\"-v\"]");
  const auto lines = helper->lines();
  ASSERT_GE(lines.size(), before + 3);
  EXPECT_EQ(lines[before], "in helper");
  EXPECT_EQ(lines[before + 1], "launching " + oops.string() + " with arguments [\"-v\"]");
  EXPECT_EQ(lines[before + 2], "launched");
  expectCleanStop(*helper);
}

TEST_F(Exec, AChildFindsNoEnvironmentVariableSet) {
  auto helper = startHelper({{"ZORV_SECRET", "leaked"}});
  const auto probe = script("env.sh",
                            "printf 'ZORV_SECRET=%s HOME=%s DISPLAY=%s' \"${ZORV_SECRET-unset}\" "
                            "\"${HOME-unset}\" \"${DISPLAY-unset}\" >&2\n");
  send(executeFile(probe, std::nullopt));
  const auto message = openedMessage();
  ASSERT_TRUE(message) << helper->transcript();
  EXPECT_THAT(*message, HasSubstr("ZORV_SECRET=unset HOME=unset DISPLAY=unset"));
  expectCleanStop(*helper);
}

TEST_F(Exec, AChildFloodingStandardOutputDoesNotHang) {
  auto helper = startHelper();
  const auto flood = script("flood.sh", "/usr/bin/head -c 50000000 /dev/zero\nprintf done >&2\n");
  const auto start = std::chrono::steady_clock::now();
  send(executeFile(flood, std::nullopt));
  const auto message = openedMessage(8s);
  ASSERT_TRUE(message) << helper->transcript();
  EXPECT_THAT(*message, HasSubstr("File execution error:\ndone\n\n"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);
  EXPECT_FALSE(helper->waitForLine(
      [](const std::string& line) { return line.starts_with("Action execution timeout: "); }, 3s));
  expectCleanStop(*helper);
}

TEST_F(Exec, AChildStillRunningAfterTenSecondsIsTerminatedWithAnAlert) {
  auto helper = startHelper();
  const fs::path pidFile = home() / "sleeper.pid";
  fs::remove(pidFile);
  const auto sleeper =
      script("sleeper.sh", "echo $$ > '" + pidFile.string() + "'\nexec /bin/sleep 30\n");
  const auto start = std::chrono::steady_clock::now();
  send(executeFile(sleeper, std::nullopt));
  const std::string line = "Action execution timeout: " + sleeper.string();
  ASSERT_TRUE(helper->waitForLine(line, 20s)) << helper->transcript();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 9500ms);
  EXPECT_LT(elapsed, 15s);

  // The child got the terminate signal and is gone.
  const pid_t pid = std::stoi(readFile(pidFile));
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    gone = ::kill(pid, 0) != 0 && errno == ESRCH;
    if (!gone) std::this_thread::sleep_for(20ms);
  }
  EXPECT_TRUE(gone) << "the child " << pid << " still exists (running or a zombie)";

  std::optional<AccessibleNode> alert;
  std::string problem;
  for (int attempt = 0; attempt < 100 && !alert; ++attempt) {
    if (auto app =
            accessibleApplication(desktop->env(), "zorv-helper", kDefaultTimeout, &problem)) {
      if (const auto* node = app->find("alert")) alert = *node;
    }
  }
  ASSERT_TRUE(alert) << problem << "\n" << helper->transcript();
  EXPECT_TRUE(alert->find("label", line));
  EXPECT_TRUE(alert->find("push button", std::string("Cancel")));
  // Nothing was written to standard error, so nothing was opened.
  EXPECT_FALSE(waitForRecord(home() / "opened", 500ms));
  expectCleanStop(*helper);
}

TEST_F(Exec, TheHelperEndsCleanlyWhileAChildStillRuns) {
  auto helper = startHelper();
  const fs::path pidFile = home() / "long.pid";
  fs::remove(pidFile);
  const auto child =
      script("long.sh", "echo $$ > '" + pidFile.string() + "'\nexec /bin/sleep 30\n");
  send(executeFile(child, std::nullopt));
  ASSERT_TRUE(helper->waitForLine("launched")) << helper->transcript();
  expectCleanStop(*helper);
  // The child is left to itself, as any program the user started.
  for (int i = 0; i < 100 && readFile(pidFile).empty(); ++i) std::this_thread::sleep_for(20ms);
  const pid_t pid = std::stoi(readFile(pidFile));
  EXPECT_EQ(::kill(pid, SIGKILL), 0);
}

TEST_F(Exec, AMissingFileIsNotifiedAsFailedToExecuteFile) {
  auto helper = startHelper();
  const auto before = notificationCalls(*desktop).size();
  const fs::path missing = home() / "no-such-program";
  send(executeFile(missing, "-v"));
  const auto calls = waitForNotificationCalls(*desktop, before + 1);
  ASSERT_GT(calls.size(), before) << helper->transcript();
  EXPECT_EQ(calls[before].summary, "Failed to execute file");
  EXPECT_THAT(calls[before].body, HasSubstr(missing.string()));
  EXPECT_THAT(calls[before].body, HasSubstr("No such file or directory"));
  EXPECT_FALSE(helper->waitForLine(
      [](const std::string& line) { return line.starts_with("launching "); }, 500ms));
  expectCleanStop(*helper);
}

TEST_F(Exec, OpenURLUsesTheDefaultHandlerOrTheNamedApplication) {
  auto helper = startHelper();
  send({{"openURL", {{"url", "zorv-test:default?x=1"}}}});
  EXPECT_THAT(waitForRecord(home() / "opened"),
              ::testing::Optional(ElementsAre("zorv-test:default?x=1")))
      << helper->transcript();

  send({{"openURL",
         {{"url", "https://example.org/named"},
          {"applicationPath", (home() / "named.desktop").string()}}}});
  EXPECT_THAT(waitForRecord(home() / "named"),
              ::testing::Optional(ElementsAre("--named", "https://example.org/named")))
      << helper->transcript();
  expectCleanStop(*helper);
}

TEST_F(Exec, OpenURLWithAMissingApplicationIsNotified) {
  auto helper = startHelper();
  const auto before = notificationCalls(*desktop).size();
  send({{"openURL",
         {{"url", "https://example.org"},
          {"applicationPath", (home() / "missing.desktop").string()}}}});
  const auto calls = waitForNotificationCalls(*desktop, before + 1);
  ASSERT_GT(calls.size(), before) << helper->transcript();
  EXPECT_EQ(calls[before].summary, "Failed to open url with application");
  EXPECT_THAT(calls[before].body, HasSubstr("missing.desktop"));
  expectCleanStop(*helper);
}

TEST_F(Exec, LaunchAppPassesExactlyTheSplitArguments) {
  auto helper = startHelper();
  send({{"launchApp",
         {{"path", (home() / "named.sh").string()}, {"launchArgumentsText", "--a  --b"}}}});
  EXPECT_THAT(waitForRecord(home() / "named"), ::testing::Optional(ElementsAre("--a", "--b")))
      << helper->transcript();

  SetUp();
  send({{"launchApp",
         {{"path", (home() / "named.sh").string()}, {"launchArgumentsText", "one\ntwo three"}}}});
  EXPECT_THAT(waitForRecord(home() / "named"),
              ::testing::Optional(ElementsAre("one\ntwo", "three")))
      << helper->transcript();
  expectCleanStop(*helper);
}

TEST_F(Exec, SleepReachesLogindAndPrintsNothing) {
  auto helper = startHelper();
  const auto before = helper->lines().size();
  send({{"sleep", nlohmann::json::object()}});
  std::vector<MockCall> calls;
  for (int i = 0; i < 250 && calls.empty(); ++i) {
    for (const auto& call : logindCalls(*desktop)) {
      if (call.method == "Suspend") calls.push_back(call);
    }
    if (calls.empty()) std::this_thread::sleep_for(20ms);
  }
  ASSERT_EQ(calls.size(), 1u) << helper->transcript();
  EXPECT_THAT(calls[0].args, ElementsAre("false"));
  // A request sent after it shows where its output ends.
  send({{"menu", {{"menuItems", {"after sleep"}}}}});
  ASSERT_TRUE(helper->waitForLine(R"(["after sleep"])", kDefaultTimeout, Stream::out, before));
  const auto lines = helper->lines();
  EXPECT_EQ(lines[before], "in helper");
  EXPECT_EQ(lines[before + 1], "in helper");  // the next request: nothing in between
  expectCleanStop(*helper);
}

TEST(ExecWithoutLogind, SleepPrintsOneErrorLine) {
  HeadlessDesktop desktop({.logind = false});
  ChildProcess helper({ZORV_E2E_HELPER}, desktop.env());
  ASSERT_TRUE(waitUntilListening(helper, desktop.env())) << helper.transcript();
  const auto before = helper.lines().size();
  emitRequest(desktop.env(), R"({"sleep":{}})");
  emitRequest(desktop.env(), R"({"menu":{"menuItems":["after sleep"]}})");
  ASSERT_TRUE(helper.waitForLine(R"(["after sleep"])", kDefaultTimeout, Stream::out, before))
      << helper.transcript();
  const auto lines = helper.lines();
  ASSERT_GE(lines.size(), before + 3);
  EXPECT_EQ(lines[before], "in helper");
  EXPECT_EQ(lines[before + 1], "The operation couldn’t be completed. (AESendMessage error -600.)");
  EXPECT_EQ(lines[before + 2], "in helper");
  expectCleanStop(helper);
}

}  // namespace
}  // namespace zorv::e2e
