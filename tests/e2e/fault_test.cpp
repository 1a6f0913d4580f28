// The real helper when things go wrong around it: an application killed while
// its menu bar is read, the accessibility bus dying, no notification server, a
// child that ignores the terminate signal, a flood of undecodable requests.
// Each time the helper gives its report, stays up, and every request queued
// behind the failure still runs, in order.

#include <gmock/gmock.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "accessibility.h"
#include "child_process.h"
#include "desktop_bus.h"
#include "headless_desktop.h"

namespace zorv::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ::testing::AnyOf;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kProbe = kNoOpRequest;
constexpr const char* kMenuUnavailable = "Failed to get the frontmost application's menu.";

std::unique_ptr<ChildProcess> startHelper(const HeadlessDesktop& desktop) {
  auto helper =
      std::make_unique<ChildProcess>(std::vector<std::string>{ZORV_E2E_HELPER}, desktop.env());
  EXPECT_TRUE(waitUntilListening(*helper, desktop.env())) << helper->transcript();
  return helper;
}

// Ends the helper as a service manager would: it must still be there, and leave
// cleanly (under the sanitizers: without a finding).
void expectCleanStop(ChildProcess& helper) {
  EXPECT_TRUE(helper.running()) << helper.transcript();
  const auto status = helper.terminate();
  EXPECT_TRUE(status.success()) << status.describe() << "\n" << helper.transcript();
  for (const auto& line : helper.lines(Stream::err)) {
    EXPECT_THAT(line, ::testing::Not(HasSubstr("Sanitizer"))) << helper.transcript();
  }
}

// A `menu` request does nothing useful here; it prints its list of titles
// before anything else, which makes it a marker in the helper's output.
std::string marker(const std::string& text) {
  return nlohmann::json{{"menu", {{"menuItems", {text}}}}}.dump();
}
std::string markerLine(const std::string& text) {
  return R"([")" + text + R"("])";
}
std::string menuCommand(const std::string& title) {
  return nlohmann::json{{"menuCommand", {{"info", {{"menuTitle", title}}}}}}.dump();
}

// The markers the helper printed from line `from` on, in order.
std::vector<std::string> markersSince(const ChildProcess& helper, std::size_t from) {
  std::vector<std::string> found;
  const auto lines = helper.lines();
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i].starts_with(R"([")") && lines[i].ends_with(R"("])")) {
      found.push_back(lines[i].substr(2, lines[i].size() - 4));
    }
  }
  return found;
}

std::size_t countSince(const ChildProcess& helper, std::size_t from, const std::string& text) {
  const auto lines = helper.lines();
  std::size_t n = 0;
  for (std::size_t i = from; i < lines.size(); ++i) n += lines[i] == text ? 1 : 0;
  return n;
}

// The index of the first line equal to `text` from line `from` on, or npos.
std::size_t indexOf(const std::vector<std::string>& lines, const std::string& text,
                    std::size_t from = 0) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i] == text) return i;
  }
  return std::string::npos;
}

std::vector<std::string> summariesSince(const std::vector<NotificationCall>& calls,
                                        std::size_t from) {
  std::vector<std::string> summaries;
  for (std::size_t i = from; i < calls.size(); ++i) summaries.push_back(calls[i].summary);
  return summaries;
}

// Neither running nor a zombie.
bool gone(pid_t pid) {
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}
bool waitUntilGone(pid_t pid, Duration timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!gone(pid)) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path.string());
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<pid_t> pidsIn(const fs::path& path) {
  std::vector<pid_t> pids;
  std::istringstream in(readFile(path));
  for (pid_t pid = 0; in >> pid;) pids.push_back(pid);
  return pids;
}

// Resident memory and thread count of a process, from /proc/PID/status.
struct Footprint {
  long rssKiB = -1;
  int threads = -1;
};
Footprint footprintOf(pid_t pid) {
  Footprint footprint;
  std::istringstream in(readFile(fs::path("/proc") / std::to_string(pid) / "status"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "VmRSS:") fields >> footprint.rssKiB;
    if (key == "Threads:") fields >> footprint.threads;
  }
  return footprint;
}

// The processes whose parent is `pid`.
std::vector<pid_t> childrenOf(pid_t pid) {
  std::vector<pid_t> children;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = readFile(entry.path() / "stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 2));
    std::string state;
    pid_t parent = 0;
    fields >> state >> parent;
    if (parent == pid) children.push_back(std::stoi(name));
  }
  return children;
}

std::string commandLineOf(pid_t pid) {
  std::string text = readFile(fs::path("/proc") / std::to_string(pid) / "cmdline");
  for (auto& c : text) c = c == '\0' ? ' ' : c;
  return text;
}

std::unique_ptr<ChildProcess> startApp(const HeadlessDesktop& desktop, const std::string& name,
                                       std::vector<std::string> options = {}) {
  std::vector<std::string> argv{sampleAppPath().string(), "--name", name, "--print-ready"};
  argv.insert(argv.end(), options.begin(), options.end());
  auto app = std::make_unique<ChildProcess>(argv, desktop.env());
  EXPECT_TRUE(app->waitForLine("ready")) << app->transcript();
  return app;
}

// An application of the desktop in front, on the accessibility bus.
bool accessible(const HeadlessDesktop& desktop, const std::string& name, std::string* problem) {
  return accessibleApplication(desktop.env(), name, 20s, problem).has_value();
}

void report(const std::string& figure) {
  std::cout << "[ figure   ] " << figure << std::endl;
}

double seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

// The reports of a menu search cut short and of the menuCommand queued behind
// it: the first says the menu bar could not be read, or the item was not found
// in what could be; the second that nothing usable is in front.
std::vector<std::string> interruptedSearchReports(const HeadlessDesktop& desktop,
                                                  std::size_t notificationsBefore,
                                                  const std::string& item) {
  const auto summaries = summariesSince(waitForNotificationCalls(desktop, notificationsBefore + 2),
                                        notificationsBefore);
  if (summaries.size() != 2) return summaries;
  report("the interrupted search ended with \"" + summaries[0] + "\"");
  EXPECT_THAT(summaries[0],
              AnyOf("Failed to find the menu named '" + item + "' or it is currently unavailable.",
                    kMenuUnavailable));
  EXPECT_EQ(summaries[1], kMenuUnavailable);
  return summaries;
}

// After the fault, an application started now has its menu pressed as usual.
void expectALaterApplicationsMenuPressed(const HeadlessDesktop& desktop, ChildProcess& helper) {
  auto next = startApp(desktop, "Next");
  std::string problem;
  ASSERT_TRUE(accessible(desktop, "Next", &problem)) << problem;
  const auto later = helper.lines().size();
  emitRequest(desktop.env(), menuCommand("File -> Save"));
  EXPECT_TRUE(next->waitForLine("activated: File -> Save")) << helper.transcript();
  ASSERT_TRUE(helper.waitForLine("File -> Save", kDefaultTimeout, Stream::out, later));
  EXPECT_EQ(helper.lines()[later], "in helper");
}

// --- an application that quits while its menu bar is read --------------------

TEST(Faults, AnApplicationKilledWhileItsMenuBarIsReadIsReportedAndTheQueueGoesOn) {
  HeadlessDesktop desktop;
  // Looking for the last item reads the whole bar first: about three seconds.
  constexpr int kItems = 2000;
  auto app = startApp(desktop, "Big", {"--big-menu", std::to_string(kItems)});
  std::string problem;
  ASSERT_TRUE(accessible(desktop, "Big", &problem)) << problem;
  auto helper = startHelper(desktop);
  const auto before = helper->lines().size();
  const auto notificationsBefore = notificationCalls(desktop).size();

  const std::string last = "Item " + std::to_string(kItems);
  {
    RequestSender sender(desktop.env());
    sender.send(menuCommand(last));
    sender.send(marker("queued 1"));
    sender.send(menuCommand("queued 2"));
    sender.send(marker("queued 3"));
  }
  // The title is printed just before the search starts.
  ASSERT_TRUE(helper->waitForLine(last, kDefaultTimeout, Stream::out, before))
      << helper->transcript();
  std::this_thread::sleep_for(300ms);
  const auto killed = Clock::now();
  ASSERT_EQ(::kill(app->pid(), SIGKILL), 0);
  const auto status = app->wait();
  ASSERT_TRUE(status);
  EXPECT_EQ(status->signal, SIGKILL);

  ASSERT_TRUE(helper->waitForLine(markerLine("queued 3"), kDefaultTimeout, Stream::out, before))
      << helper->transcript();
  report("queue after the killed application drained in " +
         std::to_string(seconds(Clock::now() - killed)) + " s");
  EXPECT_THAT(app->lines(), ::testing::Not(::testing::Contains(StartsWith("activated: "))))
      << "the search ended before the application was killed";

  // Four requests, each run once, in the order sent.
  const auto lines = helper->lines();
  EXPECT_EQ(countSince(*helper, before, "in helper"), 4u) << helper->transcript();
  EXPECT_THAT(markersSince(*helper, before), ElementsAre("queued 1", "queued 3"));
  const auto first = indexOf(lines, last, before);
  const auto second = indexOf(lines, markerLine("queued 1"), first);
  const auto third = indexOf(lines, "queued 2", second);
  const auto fourth = indexOf(lines, markerLine("queued 3"), third);
  EXPECT_NE(fourth, std::string::npos) << helper->transcript();

  // The killed application's search ends as the definition says: the menu bar
  // could not be read at all, or the item was not found in what could be read.
  // The menuCommand behind it finds nothing in front (or something gone).
  const auto summaries = interruptedSearchReports(desktop, notificationsBefore, last);
  ASSERT_EQ(summaries.size(), 2u) << helper->transcript();
  EXPECT_EQ(countSince(*helper, before, kMenuUnavailable),
            summaries[0] == kMenuUnavailable ? 2u : 1u);
  ASSERT_TRUE(helper->running()) << helper->transcript();

  expectALaterApplicationsMenuPressed(desktop, *helper);
  expectCleanStop(*helper);
}

// --- the accessibility bus dying under the helper -----------------------------

// The dbus-daemon of the accessibility bus: the launcher's child.
pid_t accessibilityBusDaemon(const HeadlessDesktop& desktop) {
  for (const auto& process : desktop.processes()) {
    if (process.name != "at-spi-bus-launcher" || !process.running()) continue;
    for (pid_t child : childrenOf(process.pid)) {
      if (commandLineOf(child).find("dbus-") != std::string::npos) return child;
    }
  }
  return 0;
}

TEST(Faults, TheAccessibilityBusDyingFailsAccessibilityActionsOnlyAndTheHelperRecovers) {
  HeadlessDesktop desktop;
  constexpr int kItems = 2000;
  auto app = startApp(desktop, "Big", {"--big-menu", std::to_string(kItems)});
  std::string problem;
  ASSERT_TRUE(accessible(desktop, "Big", &problem)) << problem;
  auto helper = startHelper(desktop);
  const pid_t daemon = accessibilityBusDaemon(desktop);
  ASSERT_GT(daemon, 0) << "no accessibility bus daemon among the desktop's processes";
  const auto before = helper->lines().size();
  const auto notificationsBefore = notificationCalls(desktop).size();

  // The bus goes while the helper is in the middle of reading a menu bar.
  const std::string last = "Item " + std::to_string(kItems);
  emitRequest(desktop.env(), menuCommand(last));
  ASSERT_TRUE(helper->waitForLine(last, kDefaultTimeout, Stream::out, before))
      << helper->transcript();
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(::kill(daemon, SIGKILL), 0);
  const auto killed = Clock::now();
  ASSERT_TRUE(waitUntilGone(daemon, 5s));

  // Then every kind of request, back to back: the accessibility ones fail as
  // defined, the others are carried out.
  {
    RequestSender sender(desktop.env());
    sender.send(marker("after 1"));
    sender.send(menuCommand("File -> Save"));
    sender.send(R"({"simulateKeystroke":{"code":0}})");
    sender.send(kProbe);
    sender.send(R"({"sleep":{}})");
    sender.send(marker("after 2"));
  }
  ASSERT_TRUE(helper->waitForLine(markerLine("after 2"), 20s, Stream::out, before))
      << helper->transcript();
  const auto elapsed = Clock::now() - killed;
  report("requests after the accessibility bus died done in " + std::to_string(seconds(elapsed)) +
         " s");
  EXPECT_LT(elapsed, 15s);
  EXPECT_THAT(app->lines(), ::testing::Not(::testing::Contains(StartsWith("activated: "))))
      << "the search ended before the bus died";

  const auto lines = helper->lines();
  EXPECT_EQ(countSince(*helper, before, "in helper"), 7u) << helper->transcript();
  EXPECT_THAT(markersSince(*helper, before), ElementsAre("after 1", "after 2"));
  // The `menu` kind finds no focused application and says so in one line.
  const auto afterOne = indexOf(lines, markerLine("after 1"), before);
  ASSERT_NE(afterOne, std::string::npos);
  ASSERT_GT(lines.size(), afterOne + 1);
  EXPECT_THAT(lines[afterOne + 1],
              StartsWith("error getting <AXUIElement system-wide>[AXFocusedApplication]: "));
  // menuCommand reports the menu as unavailable; the keystroke is typed anyway.
  const auto save = indexOf(lines, "File -> Save", afterOne);
  ASSERT_NE(save, std::string::npos) << helper->transcript();
  const auto unavailable = indexOf(lines, kMenuUnavailable, save);
  ASSERT_NE(unavailable, std::string::npos) << helper->transcript();
  EXPECT_EQ(indexOf(lines, "A key down simulated", unavailable) + 1,
            indexOf(lines, "A key up simulated", unavailable));
  EXPECT_NE(indexOf(lines, "A key up simulated", unavailable), std::string::npos);
  for (const auto& line : helper->lines(Stream::err)) {
    EXPECT_THAT(line, ::testing::Not(HasSubstr("No accessibility API permission")));
  }

  EXPECT_EQ(interruptedSearchReports(desktop, notificationsBefore, last).size(), 2u)
      << helper->transcript();
  EXPECT_EQ(logindCalls(desktop).size(), 1u);

  // The session activates a new accessibility bus; an application started now
  // is on it, and the helper presses its menu.
  expectALaterApplicationsMenuPressed(desktop, *helper);
  expectCleanStop(*helper);
}

// The process that owns the registry's name on the accessibility bus, asked by a
// child process, as the test never connects to that bus itself; 0 when none.
pid_t accessibilityRegistry(const HeadlessDesktop& desktop) {
  std::string address = readFile(desktop.dir() / "a11y-bus.address");
  while (!address.empty() && address.back() == '\n') address.pop_back();
  ChildProcess gdbus({"gdbus", "call", "--address", address, "--dest", "org.freedesktop.DBus",
                      "--object-path", "/org/freedesktop/DBus", "--method",
                      "org.freedesktop.DBus.GetConnectionUnixProcessID", "org.a11y.atspi.Registry"},
                     desktop.env());
  const auto status = gdbus.finish();
  const auto lines = gdbus.lines();
  if (!status || !status->success() || lines.empty()) return 0;
  // "(uint32 1234,)"
  const auto digits = lines.front().find_first_of("0123456789", lines.front().find(' '));
  if (digits == std::string::npos) return 0;
  return static_cast<pid_t>(std::stol(lines.front().substr(digits)));
}

TEST(Faults, AnAccessibilityRegistryThatDiedIsStartedAgainAndMenusWorkAgain) {
  HeadlessDesktop desktop;
  auto app = startApp(desktop, "Demo");
  std::string problem;
  ASSERT_TRUE(accessible(desktop, "Demo", &problem)) << problem;
  auto helper = startHelper(desktop);
  emitRequest(desktop.env(), menuCommand("File -> Save"));
  ASSERT_TRUE(app->waitForLine("activated: File -> Save")) << helper->transcript();

  const pid_t registry = accessibilityRegistry(desktop);
  ASSERT_GT(registry, 0);
  ASSERT_THAT(commandLineOf(registry), HasSubstr("at-spi2-registryd"));
  ASSERT_EQ(::kill(registry, SIGKILL), 0);
  ASSERT_TRUE(waitUntilGone(registry, 5s));

  // The next request activates a new registry on the bus, as any AT-SPI client
  // does. The applications register with it as soon as they see it, which may
  // be just after it answered that request: then that one gets the defined
  // report. From then on menus work again.
  const auto before = helper->lines().size();
  const auto notificationsBefore = notificationCalls(desktop).size();
  emitRequest(desktop.env(), menuCommand("File -> Open"));
  emitRequest(desktop.env(), marker("after the first"));
  ASSERT_TRUE(
      helper->waitForLine(markerLine("after the first"), kDefaultTimeout, Stream::out, before))
      << helper->transcript();
  const bool firstPressed = app->waitForLine("activated: File -> Open", 1s);
  report(std::string("the request that restarted the registry ") +
         (firstPressed ? "pressed its item" : "was reported as failed"));
  if (!firstPressed) {
    const auto calls = waitForNotificationCalls(desktop, notificationsBefore + 1);
    EXPECT_THAT(summariesSince(calls, notificationsBefore), ElementsAre(kMenuUnavailable));
  }
  // Asking the bus who owns the name never activates it: the helper did.
  const pid_t restarted = accessibilityRegistry(desktop);
  EXPECT_GT(restarted, 0);
  EXPECT_NE(restarted, registry);
  // The application registers anew as soon as it sees the new registry.
  std::this_thread::sleep_for(200ms);
  const auto second = helper->lines().size();
  const auto notificationsSecond = notificationCalls(desktop).size();
  emitRequest(desktop.env(), menuCommand("File -> New"));
  EXPECT_TRUE(app->waitForLine("activated: File -> New")) << helper->transcript();
  emitRequest(desktop.env(), marker("after the second"));
  ASSERT_TRUE(
      helper->waitForLine(markerLine("after the second"), kDefaultTimeout, Stream::out, second));
  EXPECT_EQ(countSince(*helper, second, kMenuUnavailable), 0u) << helper->transcript();
  EXPECT_EQ(notificationCalls(desktop).size(), notificationsSecond);
  expectCleanStop(*helper);
}

// --- no notification server ---------------------------------------------------

TEST(Faults, WithoutANotificationServerReportsAreDroppedAndRequestsGoOn) {
  HeadlessDesktop desktop({.notifications = false});
  auto helper = startHelper(desktop);
  const auto before = helper->lines().size();
  const fs::path missing = desktop.dir() / "no-such-program";
  constexpr int kRounds = 20;
  const auto start = Clock::now();
  {
    RequestSender sender(desktop.env());
    for (int i = 0; i < kRounds; ++i) {
      // Nothing is in front: the menu cannot be read. The file cannot be run.
      sender.send(menuCommand("File -> Save"));
      sender.send(nlohmann::json{{"executeFile", {{"path", missing.string()}}}}.dump());
      sender.send(marker("round " + std::to_string(i)));
    }
  }
  const std::string lastMarker = markerLine("round " + std::to_string(kRounds - 1));
  ASSERT_TRUE(helper->waitForLine(lastMarker, 20s, Stream::out, before)) << helper->transcript();
  report(std::to_string(3 * kRounds) + " requests without a notification server done in " +
         std::to_string(seconds(Clock::now() - start)) + " s");

  std::vector<std::string> expected;
  for (int i = 0; i < kRounds; ++i) expected.push_back("round " + std::to_string(i));
  EXPECT_THAT(markersSince(*helper, before), ElementsAreArray(expected));
  EXPECT_EQ(countSince(*helper, before, "in helper"), std::size_t(3 * kRounds));
  // The menu report is also a line of its own; the failed start has none.
  EXPECT_EQ(countSince(*helper, before, kMenuUnavailable), std::size_t(kRounds));
  EXPECT_EQ(countSince(*helper, before, "launched"), 0u);
  EXPECT_THAT(helper->lines(Stream::err), ::testing::IsEmpty());

  // Still listening and executing.
  const auto later = helper->lines().size();
  emitRequest(desktop.env(), marker("later"));
  EXPECT_TRUE(helper->waitForLine(markerLine("later"), kDefaultTimeout, Stream::out, later));
  expectCleanStop(*helper);
}

// --- a child that ignores the terminate signal ----------------------------------

TEST(Faults, AChildIgnoringTheTerminateSignalIsKilledAndReapedAfterTheTimeout) {
  HeadlessDesktop desktop;
  auto helper = startHelper(desktop);
  const fs::path home = desktop.dir() / "stubborn";
  fs::create_directories(home);
  const fs::path pidFile = home / "script.pid";
  const fs::path childPids = home / "children.pids";
  const fs::path script = home / "stubborn.sh";
  // Ignores SIGTERM (so do its children) and never ends by itself; every child
  // it starts is recorded.
  std::ofstream(script.string()) << "#!/bin/sh\n"
                                    "trap '' TERM\n"
                                    "echo $$ > '"
                                 << pidFile.string()
                                 << "'\n"
                                    "while :; do\n"
                                    "  /bin/sleep 0.2 &\n"
                                    "  echo $! >> '"
                                 << childPids.string()
                                 << "'\n"
                                    "  wait $!\n"
                                    "done\n";
  fs::permissions(script, fs::perms::owner_all);
  // Should the helper leave it running, the test ends it: nothing may outlive it.
  struct EndOnExit {
    fs::path pidFile;
    std::string command;
    ~EndOnExit() {
      for (pid_t pid : pidsIn(pidFile)) {
        if (!gone(pid) && commandLineOf(pid).find(command) != std::string::npos) {
          ::kill(pid, SIGKILL);
        }
      }
    }
  } endOnExit{pidFile, script.string()};

  const auto before = helper->lines().size();
  const auto start = Clock::now();
  emitRequest(desktop.env(), nlohmann::json{{"executeFile", {{"path", script.string()}}}}.dump());
  ASSERT_TRUE(helper->waitForLine("launched", kDefaultTimeout, Stream::out, before))
      << helper->transcript();
  for (int i = 0; i < 100 && readFile(pidFile).empty(); ++i) std::this_thread::sleep_for(20ms);
  const auto scriptPids = pidsIn(pidFile);
  ASSERT_EQ(scriptPids.size(), 1u);
  const pid_t pid = scriptPids.front();

  // Requests sent while the child runs are carried out at once, in order.
  std::this_thread::sleep_for(1s);
  {
    RequestSender sender(desktop.env());
    for (int i = 0; i < 3; ++i) sender.send(marker("meanwhile " + std::to_string(i)));
  }
  ASSERT_TRUE(helper->waitForLine(markerLine("meanwhile 2"), kDefaultTimeout, Stream::out, before));
  EXPECT_THAT(markersSince(*helper, before),
              ElementsAre("meanwhile 0", "meanwhile 1", "meanwhile 2"));
  EXPECT_FALSE(gone(pid)) << "the child ended before its time was up";

  const std::string timeout = "Action execution timeout: " + script.string();
  ASSERT_TRUE(helper->waitForLine(timeout, 20s, Stream::out, before)) << helper->transcript();
  const auto timedOut = Clock::now();
  EXPECT_GE(timedOut - start, 9500ms);
  EXPECT_LT(timedOut - start, 15s);
  // It was asked to end and did not; it is killed after a grace period, and
  // reaped: no zombie is left.
  EXPECT_FALSE(gone(pid)) << "the child did not ignore the terminate signal";
  EXPECT_TRUE(waitUntilGone(pid, 8s)) << "the child " << pid << " still exists";
  const auto killedAfter = Clock::now() - timedOut;
  report("child ignoring SIGTERM gone " + std::to_string(seconds(killedAfter)) +
         " s after the time-out, " + std::to_string(seconds(Clock::now() - start)) +
         " s after its start");
  EXPECT_GE(killedAfter, 1s);
  EXPECT_LT(killedAfter, 6s);
  // Nothing it started outlives it for long (a running sleep ends by itself).
  for (pid_t child : pidsIn(childPids)) {
    EXPECT_TRUE(waitUntilGone(child, 2s)) << "the grandchild " << child << " still exists";
  }

  // The timeout alert is open; requests still run, one line each, in order.
  const auto later = helper->lines().size();
  {
    RequestSender sender(desktop.env());
    sender.send(marker("after 0"));
    sender.send(marker("after 1"));
  }
  ASSERT_TRUE(helper->waitForLine(markerLine("after 1"), kDefaultTimeout, Stream::out, later))
      << helper->transcript();
  EXPECT_THAT(markersSince(*helper, later), ElementsAre("after 0", "after 1"));
  EXPECT_EQ(countSince(*helper, before, timeout), 1u);
  expectCleanStop(*helper);
}

// --- a flood of undecodable requests --------------------------------------------

TEST(Faults, AHundredUndecodableRequestsOpenAHundredAlertsAndLaterRequestsRun) {
  HeadlessDesktop desktop;
  auto helper = startHelper(desktop);
  const auto initial = footprintOf(helper->pid());
  const auto before = helper->lines().size();
  constexpr int kBad = 100;
  constexpr int kValid = 5;
  const auto start = Clock::now();
  {
    RequestSender sender(desktop.env());
    for (int i = 0; i < kBad; ++i)
      sender.send(R"({"noSuchAction":{"n":)" + std::to_string(i) + "}}");
    for (int i = 0; i < kValid; ++i) sender.send(marker("valid " + std::to_string(i)));
  }
  const std::string lastMarker = markerLine("valid " + std::to_string(kValid - 1));
  ASSERT_TRUE(helper->waitForLine(lastMarker, 30s, Stream::out, before))
      << helper->transcript().substr(0, 4000);
  const auto elapsed = Clock::now() - start;

  std::vector<std::string> expected;
  for (int i = 0; i < kValid; ++i) expected.push_back("valid " + std::to_string(i));
  EXPECT_THAT(markersSince(*helper, before), ElementsAreArray(expected));
  // Two empty lines for each undecodable request, and one run per valid one.
  EXPECT_EQ(countSince(*helper, before, ""), std::size_t(2 * kBad));
  EXPECT_EQ(countSince(*helper, before, "in helper"), std::size_t(kValid));

  // Every alert is open at once, one inside the other, each a modal dialog.
  std::optional<AccessibleNode> tree;
  std::size_t alerts = 0;
  std::string problem;
  const auto deadline = Clock::now() + 20s;
  while (alerts < kBad && Clock::now() < deadline) {
    tree = accessibleApplication(desktop.env(), "zorv-helper", kDefaultTimeout, &problem);
    alerts = 0;
    if (tree) {
      for (const auto& child : tree->children) alerts += child.role == "alert" ? 1 : 0;
    }
  }
  EXPECT_EQ(alerts, std::size_t(kBad)) << problem;
  if (tree && !tree->children.empty()) {
    const auto& alert = tree->children.back();
    EXPECT_TRUE(alert.hasState("modal")) << alert.name;
    EXPECT_TRUE(alert.find("label", std::string("Unrecognized action")));
    EXPECT_TRUE(alert.find("label", std::string("You may need to upgrade the helper.")));
  }

  const auto after = footprintOf(helper->pid());
  report(std::to_string(kBad) + " undecodable and " + std::to_string(kValid) +
         " valid requests done in " + std::to_string(seconds(elapsed)) + " s; RSS " +
         std::to_string(initial.rssKiB / 1024) + " -> " + std::to_string(after.rssKiB / 1024) +
         " MiB, threads " + std::to_string(initial.threads) + " -> " +
         std::to_string(after.threads));
#ifdef __SANITIZE_THREAD__
  // ThreadSanitizer keeps several bytes of shadow for every byte touched.
  constexpr long kGrowthKiB = 600 * 1024;
#else
  constexpr long kGrowthKiB = 200 * 1024;
#endif
  EXPECT_LT(after.rssKiB - initial.rssKiB, kGrowthKiB);
  EXPECT_LT(after.threads, initial.threads + 8);

  // Still responsive with all of them open.
  const auto later = helper->lines().size();
  emitRequest(desktop.env(), R"({"simulateKeystroke":{"code":0}})");
  EXPECT_TRUE(helper->waitForLine("A key up simulated", kDefaultTimeout, Stream::out, later))
      << helper->transcript().substr(0, 4000);
  expectCleanStop(*helper);
}

}  // namespace
}  // namespace zorv::e2e
