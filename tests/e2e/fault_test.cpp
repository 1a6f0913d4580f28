// The real helper when things go wrong around it: an application killed while
// its menu bar is read, the accessibility bus or registry dying, no
// notification server, a child that ignores the terminate signal, a flood of
// undecodable requests. Each time the helper gives its report, stays up, and
// every request queued behind the failure still runs, in order. Each test has
// a desktop of its own, as it breaks it.

#include <gmock/gmock.h>
#include <signal.h>

#include <cctype>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "e2e_session.h"

namespace zorv::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kMenuUnavailable = "Failed to get the frontmost application's menu.";
// Looking for the last item of the big menu reads the whole bar: seconds.
constexpr int kBigMenu = 10000;
const std::string kLastItem = "Item " + std::to_string(kBigMenu);
const std::string kLastItemNotFound =
    "Failed to find the menu named '" + kLastItem + "' or it is currently unavailable.";

// The index of the first line equal to `text` from line `from` on, or npos.
std::size_t indexOf(const std::vector<std::string>& lines, const std::string& text,
                    std::size_t from = 0) {
  const auto it =
      std::find(lines.begin() + std::ptrdiff_t(std::min(from, lines.size())), lines.end(), text);
  return it == lines.end() ? std::string::npos : std::size_t(it - lines.begin());
}

// Neither running nor a zombie, at the latest after `timeout`.
bool gone(pid_t pid, Duration timeout = 0ms) {
  const auto deadline = Clock::now() + timeout;
  while (::kill(pid, 0) == 0 && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

bool zombie(pid_t pid) {
  const auto stat = readFile(fs::path("/proc") / std::to_string(pid) / "stat");
  const auto afterName = stat.rfind(") ");
  return afterName != std::string::npos && stat.compare(afterName + 2, 1, "Z") == 0;
}

std::vector<pid_t> pidsIn(const fs::path& path) {
  std::vector<pid_t> pids;
  std::istringstream in(readFile(path));
  for (pid_t pid = 0; in >> pid;) pids.push_back(pid);
  return pids;
}

// A field of /proc/PID/status ("VmRSS:", "Threads:").
long statusField(pid_t pid, const std::string& key) {
  std::istringstream in(readFile(fs::path("/proc") / std::to_string(pid) / "status"));
  for (std::string name; in >> name;) {
    long value = 0;
    if (name == key && in >> value) return value;
  }
  return -1;
}

// The processes whose parent is `pid`.
std::vector<pid_t> childrenOf(pid_t pid) {
  std::vector<pid_t> children;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (!std::isdigit(name[0])) continue;
    const auto fields = procStat(std::stoi(name));
    if (fields.size() > 1 && fields[1] == std::to_string(pid)) children.push_back(std::stoi(name));
  }
  return children;
}

std::string commandLineOf(pid_t pid) {
  std::string text = readFile(fs::path("/proc") / std::to_string(pid) / "cmdline");
  std::replace(text.begin(), text.end(), '\0', ' ');
  return text;
}

// The helper reading the whole menu bar of the big application in front:
// start() sends the search for its last item and waits until it is well under
// way (the title is printed just before, the bar itself is found in far less
// than a second). finish() checks that the fault ended the search, and that an
// application started after the fault has its menu pressed as usual.
struct LongMenuSearch {
  HeadlessDesktop desktop;
  std::unique_ptr<ChildProcess> app =
      startApp(desktop, "Big", {"--big-menu", std::to_string(kBigMenu)});
  std::unique_ptr<ChildProcess> helper = startHelper(desktop);
  std::size_t before = 0;
  std::size_t notificationsBefore = 0;

  void start() {
    before = helper->lines().size();
    notificationsBefore = notificationCalls(desktop).size();
    emitRequest(desktop.env(), menuCommand(kLastItem));
    ASSERT_TRUE(helper->waitForLine(kLastItem, before)) << helper->transcript();
    std::this_thread::sleep_for(300ms);
  }
  void finish() {
    EXPECT_THAT(app->lines(), ::testing::Not(::testing::Contains(StartsWith("activated: "))))
        << "the search ended before the fault";
    // The bar was read up to the fault: the item is not found in it. The
    // menuCommand behind it finds nothing in front (or what is gone). Each
    // report is posted from the global queue: they may arrive in either order.
    EXPECT_THAT(summariesSince(desktop, notificationsBefore, 2),
                ::testing::UnorderedElementsAre(kLastItemNotFound, kMenuUnavailable))
        << helper->transcript();
    auto next = startApp(desktop, "Next");
    const auto later = helper->lines().size();
    emitRequest(desktop.env(), menuCommand("File -> Save"));
    EXPECT_TRUE(next->waitForLine("activated: File -> Save")) << helper->transcript();
    ASSERT_TRUE(helper->waitForLine("File -> Save", later));
    EXPECT_EQ(helper->lines()[later], "in helper");
    expectCleanStop(*helper);
  }
};

TEST(Faults, AnApplicationKilledWhileItsMenuBarIsReadIsReportedAndTheQueueGoesOn) {
  LongMenuSearch search;
  auto& helper = search.helper;
  ASSERT_NO_FATAL_FAILURE(search.start());
  {
    RequestSender sender(search.desktop.env());
    sender.send(marker("queued 1"));
    sender.send(menuCommand("queued 2"));
    sender.send(marker("queued 3"));
  }
  ASSERT_EQ(::kill(search.app->pid(), SIGKILL), 0);
  ASSERT_THAT(search.app->wait(),
              ::testing::Optional(::testing::Field(&ExitStatus::signal, SIGKILL)));
  ASSERT_TRUE(helper->waitForLine(markerLine("queued 3"), search.before)) << helper->transcript();

  // Four requests, each run once, in the order sent.
  const auto lines = helper->lines();
  EXPECT_EQ(countSince(*helper, search.before, "in helper"), 4u) << helper->transcript();
  const auto second = indexOf(lines, markerLine("queued 1"), search.before);
  EXPECT_NE(indexOf(lines, markerLine("queued 3"), indexOf(lines, "queued 2", second)),
            std::string::npos)
      << helper->transcript();
  EXPECT_EQ(countSince(*helper, search.before, kMenuUnavailable), 1u);
  search.finish();
}

// --- an application that stops answering ---------------------------------------

TEST(Faults, AFrozenApplicationCostsOneTimeOutPerRequestAndAnswersOnceThawed) {
  HeadlessDesktop desktop;
  auto app = startApp(desktop, "Frozen");
  auto helper = startHelper(desktop);
  const auto before = helper->lines().size();
  const auto notificationsBefore = notificationCalls(desktop).size();

  ASSERT_EQ(::kill(app->pid(), SIGSTOP), 0);
  const auto sent = Clock::now();
  {
    RequestSender sender(desktop.env());
    sender.send(menuCommand("File -> Save"));
    sender.send(R"({"simulateKeystroke":{"code":0}})");
  }
  // The keystroke waits only for the menuCommand, which gives up after one
  // messaging time-out (6 s) however many calls its search would still make.
  const bool next = helper->waitForLine("A key down simulated", before, 30s);
  const auto waited = Clock::now() - sent;
  ::kill(app->pid(), SIGCONT);
  ASSERT_TRUE(next) << helper->transcript();
  EXPECT_LT(waited, 7s);
  EXPECT_THAT(summariesSince(desktop, notificationsBefore, 1), ElementsAre(kMenuUnavailable));

  // Thawed, it answers the next request.
  emitRequest(desktop.env(), menuCommand("File -> Open"));
  EXPECT_TRUE(app->waitForLine("activated: File -> Open")) << helper->transcript();
  expectCleanStop(*helper);
}

TEST(Faults, TheAccessibilityBusDyingFailsAccessibilityActionsOnlyAndTheHelperRecovers) {
  LongMenuSearch search;
  auto& helper = search.helper;
  // The dbus-daemon of the accessibility bus: the launcher's child.
  pid_t daemon = 0;
  for (const auto& process : search.desktop.processes()) {
    for (pid_t child :
         process.name == "at-spi-bus-launcher" ? childrenOf(process.pid) : std::vector<pid_t>{}) {
      if (commandLineOf(child).find("dbus-") != std::string::npos) daemon = child;
    }
  }
  ASSERT_GT(daemon, 0) << "no accessibility bus daemon among the desktop's processes";
  ASSERT_NO_FATAL_FAILURE(search.start());
  ASSERT_EQ(::kill(daemon, SIGKILL), 0);
  ASSERT_TRUE(gone(daemon, 5s));

  // Then every kind of request, back to back: the accessibility ones fail as
  // defined, the others are carried out.
  {
    RequestSender sender(search.desktop.env());
    sender.send(marker("after 1"));
    sender.send(menuCommand("File -> Save"));
    sender.send(R"({"simulateKeystroke":{"code":0}})");
    sender.send(kNoOpRequest);
    sender.send(R"({"sleep":{}})");
    sender.send(marker("after 2"));
  }
  const auto before = search.before;
  ASSERT_TRUE(helper->waitForLine(markerLine("after 2"), before, 20s)) << helper->transcript();

  const auto lines = helper->lines();
  EXPECT_EQ(countSince(*helper, before, "in helper"), 7u) << helper->transcript();
  EXPECT_THAT(markersSince(*helper, before), ElementsAre("after 1", "after 2"));
  // The `menu` kind finds no focused application and says so in one line.
  const auto afterOne = indexOf(lines, markerLine("after 1"), before);
  ASSERT_LT(afterOne + 1, lines.size()) << helper->transcript();
  EXPECT_THAT(lines[afterOne + 1],
              StartsWith("error getting <AXUIElement system-wide>[AXFocusedApplication]: "));
  // menuCommand reports the menu as unavailable; the keystroke is typed anyway.
  const auto unavailable = indexOf(lines, kMenuUnavailable, indexOf(lines, "File -> Save"));
  ASSERT_NE(unavailable, std::string::npos) << helper->transcript();
  const auto down = indexOf(lines, "A key down simulated", unavailable);
  ASSERT_NE(down, std::string::npos) << helper->transcript();
  EXPECT_EQ(indexOf(lines, "A key up simulated", unavailable), down + 1);
  EXPECT_THAT(helper->lines(Stream::err),
              ::testing::Not(::testing::Contains(HasSubstr("No accessibility API permission"))));
  EXPECT_THAT(logindCalls(search.desktop), ElementsAre("Suspend"));
  // The session activates a new accessibility bus for the application started next.
  search.finish();
}

// The process that owns the registry's name on the accessibility bus, asked by a
// child process, as the test never connects to that bus itself; 0 when none.
pid_t accessibilityRegistry(const HeadlessDesktop& desktop) {
  std::string address = readFile(desktop.dir() / "a11y-bus.address");
  address.erase(address.find_last_not_of('\n') + 1);
  ChildProcess gdbus({"gdbus", "call", "--address", address, "--dest", "org.freedesktop.DBus",
                      "--object-path", "/org/freedesktop/DBus", "--method",
                      "org.freedesktop.DBus.GetConnectionUnixProcessID", "org.a11y.atspi.Registry"},
                     desktop.env());
  const auto status = gdbus.wait();
  const auto lines = gdbus.lines();
  if (!status || !status->success() || lines.empty()) return 0;
  // "(uint32 1234,)"
  return static_cast<pid_t>(std::atol(lines[0].c_str() + std::min(lines[0].size(), 8ul)));
}

TEST(Faults, AnAccessibilityRegistryThatDiedIsStartedAgainAndMenusWorkAgain) {
  HeadlessDesktop desktop;
  auto app = startApp(desktop, "Demo");
  auto helper = startHelper(desktop);
  emitRequest(desktop.env(), menuCommand("File -> Save"));
  ASSERT_TRUE(app->waitForLine("activated: File -> Save")) << helper->transcript();

  const pid_t registry = accessibilityRegistry(desktop);
  ASSERT_GT(registry, 0);
  ASSERT_THAT(commandLineOf(registry), HasSubstr("at-spi2-registryd"));
  ASSERT_EQ(::kill(registry, SIGKILL), 0);
  ASSERT_TRUE(gone(registry, 5s));

  // The next request activates a new registry on the bus, as any AT-SPI client
  // does. The applications register with it as soon as they see it, which may
  // be just after it answered that request: then that one gets the defined
  // report instead of its press, never both and never neither.
  const auto before = helper->lines().size();
  const auto notificationsBefore = notificationCalls(desktop).size();
  emitRequest(desktop.env(), menuCommand("File -> Open"));
  emitRequest(desktop.env(), marker("after the first"));
  ASSERT_TRUE(helper->waitForLine(markerLine("after the first"), before)) << helper->transcript();
  const bool pressed = app->waitForLine("activated: File -> Open", 0, 1s);
  const auto reports = summariesSince(desktop, notificationsBefore, pressed ? 0 : 1);
  EXPECT_EQ(reports,
            pressed ? std::vector<std::string>{} : std::vector<std::string>{kMenuUnavailable});
  // Asking the bus who owns the name never activates it: the helper did.
  const pid_t restarted = accessibilityRegistry(desktop);
  EXPECT_GT(restarted, 0);
  EXPECT_NE(restarted, registry);
  // From then on menus work again.
  std::this_thread::sleep_for(200ms);
  const auto second = helper->lines().size();
  const auto notificationsSecond = notificationCalls(desktop).size();
  emitRequest(desktop.env(), menuCommand("File -> New"));
  EXPECT_TRUE(app->waitForLine("activated: File -> New")) << helper->transcript();
  emitRequest(desktop.env(), marker("after the second"));
  ASSERT_TRUE(helper->waitForLine(markerLine("after the second"), second));
  EXPECT_EQ(countSince(*helper, second, kMenuUnavailable), 0u) << helper->transcript();
  EXPECT_EQ(notificationCalls(desktop).size(), notificationsSecond);
  expectCleanStop(*helper);
}

TEST(Faults, WithoutANotificationServerReportsAreDroppedAndRequestsGoOn) {
  HeadlessDesktop desktop({.notifications = false});
  auto helper = startHelper(desktop);
  const auto before = helper->lines().size();
  const fs::path missing = desktop.dir() / "no-such-program";
  constexpr int kRounds = 20;
  std::vector<std::string> expected;
  {
    RequestSender sender(desktop.env());
    for (int i = 0; i < kRounds; ++i) {
      // Nothing is in front: the menu cannot be read. The file cannot be run.
      sender.send(menuCommand("File -> Save"));
      sender.send(nlohmann::json{{"executeFile", {{"path", missing.string()}}}}.dump());
      sender.send(marker("round " + std::to_string(i)));
      expected.push_back("round " + std::to_string(i));
    }
  }
  ASSERT_TRUE(helper->waitForLine(markerLine(expected.back()), before, 20s))
      << helper->transcript();
  EXPECT_THAT(markersSince(*helper, before), ::testing::ElementsAreArray(expected));
  EXPECT_EQ(countSince(*helper, before, "in helper"), std::size_t(3 * kRounds));
  // The menu report is also a line of its own; the failed start has none.
  EXPECT_EQ(countSince(*helper, before, kMenuUnavailable), std::size_t(kRounds));
  EXPECT_EQ(countSince(*helper, before, "launched"), 0u);
  EXPECT_THAT(helper->lines(Stream::err), ::testing::IsEmpty());
  expectCleanStop(*helper);
}

TEST(Faults, AChildIgnoringTheTerminateSignalIsKilledAndReapedAfterTheTimeout) {
  HeadlessDesktop desktop;
  auto helper = startHelper(desktop);
  const fs::path pidFile = desktop.dir() / "stubborn.pid";
  const fs::path childPids = desktop.dir() / "children.pids";
  const fs::path script = desktop.dir() / "stubborn.sh";
  // Ignores SIGTERM (so do its children) and never ends by itself; every child
  // it starts is recorded.
  std::ofstream(script.string()) << "#!/bin/sh\ntrap '' TERM\necho $$ > '" << pidFile.string()
                                 << "'\nwhile :; do\n  /bin/sleep 0.2 &\n  echo $! >> '"
                                 << childPids.string() << "'\n  wait $!\ndone\n";
  fs::permissions(script, fs::perms::owner_all);
  // Should the helper leave it running, the test ends it: nothing may outlive it.
  struct EndOnExit {
    fs::path pidFile;
    ~EndOnExit() {
      for (pid_t pid : pidsIn(pidFile)) ::kill(pid, SIGKILL);
    }
  } endOnExit{pidFile};

  const auto before = helper->lines().size();
  const auto start = Clock::now();
  emitRequest(desktop.env(), nlohmann::json{{"executeFile", {{"path", script.string()}}}}.dump());
  ASSERT_TRUE(helper->waitForLine("launched", before)) << helper->transcript();
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
  ASSERT_TRUE(helper->waitForLine(markerLine("meanwhile 2"), before));
  EXPECT_THAT(markersSince(*helper, before),
              ElementsAre("meanwhile 0", "meanwhile 1", "meanwhile 2"));
  EXPECT_FALSE(gone(pid)) << "the child ended before its time was up";

  const std::string timeout = "Action execution timeout: " + script.string();
  ASSERT_TRUE(helper->waitForLine(timeout, before, 20s)) << helper->transcript();
  const auto timedOut = Clock::now();
  EXPECT_GE(timedOut - start, 9500ms);
  EXPECT_LT(timedOut - start, 15s);
  // It was asked to end and did not; it is killed after a grace period, and
  // reaped: no zombie is left.
  EXPECT_FALSE(gone(pid)) << "the child did not ignore the terminate signal";
  EXPECT_TRUE(gone(pid, 8s)) << "the child " << pid << " still exists";
  const auto killedAfter = Clock::now() - timedOut;
  EXPECT_GE(killedAfter, 1s);
  EXPECT_LT(killedAfter, 6s);
  // Nothing it started outlives it for long (a running sleep ends by itself).
  // An orphan that ended is reaped by the machine's init, which may take its
  // time: a zombie has ended.
  for (pid_t child : pidsIn(childPids)) {
    EXPECT_TRUE(gone(child, 2s) || zombie(child)) << "the grandchild " << child << " still runs";
  }
  // The timeout alert is open, with the line as its text.
  const auto alerts = waitForAlerts(desktop);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_TRUE(alerts[0].find("label", timeout));

  // A child still running when the helper is ended is left to itself.
  emitRequest(
      desktop.env(),
      nlohmann::json{{"executeFile", {{"path", "/bin/sleep"}, {"argumentsText", "30"}}}}.dump());
  ASSERT_TRUE(helper->waitForLine("launched", indexOf(helper->lines(), timeout) + 1));
  const auto sleeping = childrenOf(helper->pid());
  ASSERT_EQ(sleeping.size(), 1u);
  expectCleanStop(*helper);
  EXPECT_EQ(::kill(sleeping[0], SIGKILL), 0);
}

TEST(Faults, AHundredUndecodableRequestsOpenAHundredAlertsAndLaterRequestsRun) {
  HeadlessDesktop desktop;
  auto helper = startHelper(desktop);
  const long rssBefore = statusField(helper->pid(), "VmRSS:");
  const long threadsBefore = statusField(helper->pid(), "Threads:");
  const auto before = helper->lines().size();
  constexpr int kBad = 100;
  std::vector<std::string> expected;
  {
    RequestSender sender(desktop.env());
    for (int i = 0; i < kBad; ++i)
      sender.send(R"({"noSuchAction":{"n":)" + std::to_string(i) + "}}");
    for (int i = 0; i < 5; ++i) {
      expected.push_back("valid " + std::to_string(i));
      sender.send(marker(expected.back()));
    }
  }
  ASSERT_TRUE(helper->waitForLine(markerLine(expected.back()), before, 30s))
      << helper->transcript().substr(0, 4000);
  EXPECT_THAT(markersSince(*helper, before), ::testing::ElementsAreArray(expected));
  // Two empty lines for each undecodable request, and one run per valid one.
  EXPECT_EQ(countSince(*helper, before, ""), std::size_t(2 * kBad));
  EXPECT_EQ(countSince(*helper, before, "in helper"), expected.size());

  // Every alert is open at once, each a modal dialog.
  const auto alerts = waitForAlerts(desktop, kBad);
  EXPECT_EQ(alerts.size(), std::size_t(kBad));
  for (const auto& alert : alerts) {
    EXPECT_TRUE(alert.hasState("modal")) << alert.name;
    EXPECT_TRUE(alert.find("label", "Unrecognized action"));
    EXPECT_TRUE(alert.find("label", "You may need to upgrade the helper."));
    EXPECT_THAT(alert.namesOf("push button"), ElementsAre("Cancel"));
  }
#ifdef __SANITIZE_THREAD__
  // ThreadSanitizer keeps several bytes of shadow for every byte touched.
  constexpr long kGrowthKiB = 600 * 1024;
#else
  constexpr long kGrowthKiB = 200 * 1024;
#endif
  EXPECT_LT(statusField(helper->pid(), "VmRSS:") - rssBefore, kGrowthKiB);
  EXPECT_LT(statusField(helper->pid(), "Threads:"), threadsBefore + 8);

  // Still responsive with all of them open.
  const auto later = helper->lines().size();
  emitRequest(desktop.env(), R"({"simulateKeystroke":{"code":0}})");
  EXPECT_TRUE(helper->waitForLine("A key up simulated", later));
  expectCleanStop(*helper);
}

}  // namespace
}  // namespace zorv::e2e
