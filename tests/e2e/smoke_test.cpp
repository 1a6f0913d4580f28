// Smoke tests of the end-to-end support: child processes, the headless desktop
// and its services, the sample application seen through accessibility.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "accessibility.h"
#include "child_process.h"
#include "desktop_bus.h"
#include "headless_desktop.h"

namespace zorv::e2e {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

std::vector<std::string> names(const std::vector<DesktopProcess>& processes) {
  std::vector<std::string> out;
  for (const DesktopProcess& process : processes) out.push_back(process.name);
  return out;
}

// Runs a short command in the desktop and returns it once finished.
void runToEnd(ChildProcess& child) {
  const auto status = child.finish();
  ASSERT_TRUE(status.has_value()) << child.transcript();
  ASSERT_TRUE(status->success()) << child.transcript();
}

// --- ChildProcess ------------------------------------------------------------

TEST(ChildProcess, CapturesStandardOutputAndErrorSeparately) {
  ChildProcess child({"/bin/sh", "-c", "echo one; echo two >&2; printf 'no newline'"},
                     currentEnvironment());
  const auto status = child.finish();
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(status->success());
  EXPECT_EQ(child.lines(Stream::out), (std::vector<std::string>{"one", "no newline"}));
  EXPECT_EQ(child.lines(Stream::err), (std::vector<std::string>{"two"}));
}

TEST(ChildProcess, PassesTheGivenEnvironmentOnly) {
  ChildProcess child({"/usr/bin/env"}, {{"ONLY_THIS", "value with spaces"}});
  runToEnd(child);
  EXPECT_EQ(child.lines(), (std::vector<std::string>{"ONLY_THIS=value with spaces"}));
}

TEST(ChildProcess, ReportsExitCodesAndSignals) {
  ChildProcess failing({"/bin/sh", "-c", "exit 3"}, currentEnvironment());
  const auto status = failing.wait();
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->code, 3);
  EXPECT_EQ(status->signal, 0);

  ChildProcess sleeping({"sleep", "30"}, currentEnvironment());
  EXPECT_FALSE(sleeping.wait(50ms).has_value());
  EXPECT_TRUE(sleeping.running());
  const ExitStatus ended = sleeping.terminate();
  EXPECT_EQ(ended.signal, SIGTERM);
  EXPECT_FALSE(sleeping.running());
}

TEST(ChildProcess, KillsAProcessThatIgnoresSigterm) {
  ChildProcess stubborn({"/bin/sh", "-c", "trap '' TERM; echo armed; while :; do sleep 0.05; done"},
                        currentEnvironment());
  ASSERT_TRUE(stubborn.waitForLine("armed"));
  EXPECT_EQ(stubborn.terminate(200ms).signal, SIGKILL);
}

TEST(ChildProcess, OnlyStandardDescriptorsReachTheChild) {
  // A descriptor without O_CLOEXEC, as a careless library would leave one.
  const int leaked = ::dup(2);
  ASSERT_GE(leaked, 3);
  ChildProcess child({"/bin/sh", "-c", "ls -1 /proc/$$/fd; true"}, currentEnvironment());
  runToEnd(child);
  ::close(leaked);
  EXPECT_EQ(child.lines(), (std::vector<std::string>{"0", "1", "2"}));
}

TEST(ChildProcess, WaitForLineEndsWithTheStream) {
  ChildProcess child({"/bin/sh", "-c", "echo a; echo b"}, currentEnvironment());
  EXPECT_TRUE(child.waitForLine("b"));
  EXPECT_TRUE(child.waitForLine([](const std::string& line) { return line == "a"; }));
  EXPECT_FALSE(child.waitForLine("a", kDefaultTimeout, Stream::out, 1));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(child.waitForLine("never"));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(ChildProcess, DoesNotHangOnAGrandchildHoldingItsOutput) {
  const auto started = std::chrono::steady_clock::now();
  {
    ChildProcess child({"/bin/sh", "-c", "sleep 3 & echo started"}, currentEnvironment());
    EXPECT_TRUE(child.waitForLine("started"));
    const auto status = child.wait();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->success());
  }
  // The grandchild (gone by itself soon after) holds the pipe for 3 s.
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2500ms);
}

TEST(ChildProcess, ThrowsWhenTheProgramCannotStart) {
  EXPECT_THROW(ChildProcess({"/nonexistent/program"}, currentEnvironment()), std::runtime_error);
}

TEST(EnvFile, AppliesExportsAndUnsets) {
  Environment env = {{"KEEP", "1"}, {"NO_AT_BRIDGE", "1"}, {"DISPLAY", ":9"}};
  applyEnvFile(
      "export DISPLAY=':3'\n"
      "export ADDRESS='unix:path=/tmp/x,guid=1'\n"
      "export QUOTED='it'\\''s'\n"
      "unset NO_AT_BRIDGE OTHER\n",
      env);
  EXPECT_EQ(env, (Environment{{"KEEP", "1"},
                              {"DISPLAY", ":3"},
                              {"ADDRESS", "unix:path=/tmp/x,guid=1"},
                              {"QUOTED", "it's"}}));
}

// --- The desktop ---------------------------------------------------------------

TEST(HeadlessDesktop, StartsAndStopsLeavingNothingBehind) {
  HeadlessDesktop desktop;
  std::cout << "start-up took " << desktop.startupTime().count() << " ms\n";
  const auto processes = desktop.processes();
  for (const char* name : {"watchdog", "Xvfb", "session-bus", "system-bus", "openbox",
                           "notification-mock", "logind-mock", "at-spi-bus-launcher"}) {
    EXPECT_THAT(names(processes), Contains(name));
  }
  for (const DesktopProcess& process : processes) {
    EXPECT_TRUE(process.running()) << process.name;
  }
  EXPECT_TRUE(startsWith(desktop.variable("DISPLAY"), ":"));
  EXPECT_TRUE(startsWith(desktop.variable("DBUS_SESSION_BUS_ADDRESS"), "unix:"));
  EXPECT_TRUE(startsWith(desktop.variable("DBUS_SYSTEM_BUS_ADDRESS"), "unix:"));
  EXPECT_EQ(desktop.variable("XDG_RUNTIME_DIR"), (desktop.dir() / "runtime").string());
  EXPECT_EQ(desktop.env().count("NO_AT_BRIDGE"), 0u);
  EXPECT_NE(desktop.variable("DBUS_SESSION_BUS_ADDRESS"),
            currentEnvironment()["DBUS_SESSION_BUS_ADDRESS"]);

  const auto stopStarted = std::chrono::steady_clock::now();
  EXPECT_TRUE(desktop.stop());
  std::cout << "teardown took "
            << std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - stopStarted)
                   .count()
            << " ms\n";
  for (const DesktopProcess& process : processes) {
    EXPECT_FALSE(process.running()) << process.name << " " << process.pid;
  }
}

TEST(HeadlessDesktop, StopsByItselfWhenItsOwnerDies) {
  // The script run directly, owned by a process that then dies as a crashed
  // test would.
  ChildProcess owner({"sleep", "60"}, currentEnvironment());
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("zorv-e2e-owner-" + std::to_string(::getpid()));
  ChildProcess start({headlessDesktopScript().string(), "start", "--no-notifications",
                      "--no-logind", "--owner", std::to_string(owner.pid()), dir.string()},
                     currentEnvironment());
  runToEnd(start);
  std::vector<DesktopProcess> processes;
  {
    std::ifstream in(dir / "pids");
    DesktopProcess process;
    while (in >> process.pid >> process.startTime >> process.name) processes.push_back(process);
  }
  EXPECT_THAT(names(processes), Contains("watchdog"));
  owner.terminate();
  const auto deadline = std::chrono::steady_clock::now() + kDefaultTimeout;
  auto anyRunning = [&] {
    return std::any_of(processes.begin(), processes.end(),
                       [](const DesktopProcess& process) { return process.running(); });
  };
  while (anyRunning() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_FALSE(anyRunning());
  std::filesystem::remove_all(dir);
}

TEST(HeadlessDesktop, HasTheUsAndGermanLayouts) {
  HeadlessDesktop desktop({.notifications = false, .logind = false});
  ChildProcess query({"setxkbmap", "-query"}, desktop.env());
  runToEnd(query);
  EXPECT_TRUE(query.waitForLine([](const std::string& line) {
    return startsWith(line, "layout:") && line.find("us,de") != std::string::npos;
  })) << query.transcript();
}

TEST(HeadlessDesktop, MockServicesRecordTheirCalls) {
  HeadlessDesktop desktop;
  ChildProcess notify(
      {"gdbus", "call", "--session", "--dest", "org.freedesktop.Notifications", "--object-path",
       "/org/freedesktop/Notifications", "--method", "org.freedesktop.Notifications.Notify",
       "zorv-smoke", "0", "", "The summary", "The body", "[]", "{'urgency': <byte 2>}", "5000"},
      desktop.env());
  runToEnd(notify);
  const auto calls = waitForNotificationCalls(desktop, 1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].appName, "zorv-smoke");
  EXPECT_EQ(calls[0].summary, "The summary");
  EXPECT_EQ(calls[0].body, "The body");
  EXPECT_EQ(calls[0].hintKeys, (std::vector<std::string>{"urgency"}));
  EXPECT_EQ(calls[0].expireTimeout, 5000);

  ChildProcess suspend(
      {"gdbus", "call", "--system", "--dest", "org.freedesktop.login1", "--object-path",
       "/org/freedesktop/login1", "--method", "org.freedesktop.login1.Manager.Suspend", "false"},
      desktop.env());
  runToEnd(suspend);
  const auto logind = logindCalls(desktop);
  ASSERT_EQ(logind.size(), 1u);
  EXPECT_EQ(logind[0].method, "Suspend");
  EXPECT_EQ(logind[0].args, (std::vector<std::string>{"false"}));
}

TEST(HeadlessDesktop, RequestsReachTheSessionBus) {
  HeadlessDesktop desktop({.notifications = false, .logind = false});
  ChildProcess monitor(
      {"dbus-monitor", "--session", "interface='name.pemu.zorv.notification_names'"},
      desktop.env());
  // dbus-monitor reports its own NameAcquired once it listens.
  ASSERT_TRUE(monitor.waitForLine([](const std::string& line) {
    return line.find("member=NameAcquired") != std::string::npos;
  })) << monitor.transcript();
  const std::string json = R"({"sleep":{}})";
  emitRequest(desktop.env(), json);
  EXPECT_TRUE(monitor.waitForLine([](const std::string& line) {
    return line.find("interface=name.pemu.zorv.notification_names; member=helper_action_event") !=
           std::string::npos;
  })) << monitor.transcript();
  EXPECT_TRUE(monitor.waitForLine([](const std::string& line) {
    return line.find(R"(string "{"sleep":{}}")") != std::string::npos;
  })) << monitor.transcript();
}

TEST(HeadlessDesktop, WithoutServicesNothingAnswers) {
  HeadlessDesktop desktop({.notifications = false, .logind = false, .accessibility = false});
  EXPECT_THAT(names(desktop.processes()), ::testing::Not(Contains("at-spi-bus-launcher")));
  ChildProcess a11y({"gdbus", "call", "--session", "--dest", "org.a11y.Bus", "--object-path",
                     "/org/a11y/bus", "--method", "org.a11y.Bus.GetAddress"},
                    desktop.env());
  const auto a11yStatus = a11y.finish();
  ASSERT_TRUE(a11yStatus.has_value());
  EXPECT_FALSE(a11yStatus->success());
  EXPECT_TRUE(a11y.waitForLine(
      [](const std::string& line) { return line.find("ServiceUnknown") != std::string::npos; },
      kDefaultTimeout, Stream::err))
      << a11y.transcript();

  ChildProcess reader({atspiDumpPath().string()}, desktop.env());
  const auto readerStatus = reader.finish();
  ASSERT_TRUE(readerStatus.has_value());
  EXPECT_EQ(readerStatus->code, 1) << reader.transcript();

  // Applications still run, only without accessibility.
  ChildProcess app({sampleAppPath().string(), "--name", "Unseen", "--print-ready"}, desktop.env());
  EXPECT_TRUE(app.waitForLine("ready")) << app.transcript();
  EXPECT_TRUE(app.terminate().success()) << app.transcript();

  ChildProcess notify({"gdbus", "call", "--session", "--dest", "org.freedesktop.Notifications",
                       "--object-path", "/org/freedesktop/Notifications", "--method",
                       "org.freedesktop.Notifications.GetServerInformation"},
                      desktop.env());
  const auto notifyStatus = notify.finish();
  ASSERT_TRUE(notifyStatus.has_value());
  EXPECT_FALSE(notifyStatus->success());
}

// --- The sample application ------------------------------------------------------

TEST(SampleApp, ShowsItsMenusAndIsPressedThroughAccessibility) {
  HeadlessDesktop desktop({.notifications = false, .logind = false});
  ChildProcess app({sampleAppPath().string(), "--name", "SmokeApp", "--print-ready"},
                   desktop.env());
  ASSERT_TRUE(app.waitForLine("ready")) << app.transcript();

  std::string problem;
  const auto tree = accessibleApplication(desktop.env(), "SmokeApp", kDefaultTimeout, &problem);
  ASSERT_TRUE(tree.has_value()) << problem;
  // A missing node fails the comparisons below instead of crashing the test.
  AccessibleNode missing;
  missing.role = "<missing>";
  auto at = [&](const std::vector<std::string>& path) -> const AccessibleNode& {
    const AccessibleNode* node = tree->menuItem(path);
    return node != nullptr ? *node : missing;
  };
  EXPECT_EQ(tree->role, "application");
  const AccessibleNode* frame = tree->find("frame", "SmokeApp");
  ASSERT_NE(frame, nullptr);
  const AccessibleNode* bar = tree->find("menu bar");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->childNames(), (std::vector<std::string>{"SmokeApp", "File", "Edit", "View"}));
  EXPECT_EQ(at({"File"}).childNames(),
            (std::vector<std::string>{"New", "Open", "Save", "Export", "", "Quit"}));
  EXPECT_EQ(at({"File", "Export"}).childNames(),
            (std::vector<std::string>{"PDF", "PNG", "Disabled Format"}));
  EXPECT_EQ(at({"Edit"}).childNames(), (std::vector<std::string>{"Undo", "Copy", "Paste", "Find"}));
  EXPECT_EQ(at({"Edit", "Find"}).childNames(), (std::vector<std::string>{"Find Next", "PDF"}));
  EXPECT_EQ(at({"View"}).childNames(),
            (std::vector<std::string>{"Zoom In", "Keep All", "Archive", ""}));

  EXPECT_EQ(at({"File", "Export"}).role, "menu");
  EXPECT_EQ(at({"File", "Save"}).role, "menu item");
  ASSERT_EQ(at({"File"}).children.size(), 6u);
  EXPECT_EQ(at({"File"}).children[4].role, "separator");
  EXPECT_EQ(at({"File", "Save"}).keys, "s;<Alt>f:s;<Primary>s");
  EXPECT_EQ(at({"Edit", "Paste"}).keys, "p;<Alt>e:p;<Primary><Shift>v");
  EXPECT_EQ(at({"View", "Zoom In"}).keys, "i;<Alt>v:i;<Primary>plus");
  EXPECT_TRUE(at({"File", "Save"}).hasState("enabled"));
  for (const auto& path : std::vector<std::vector<std::string>>{
           {"File", "Export", "Disabled Format"}, {"Edit", "Undo"}}) {
    EXPECT_FALSE(at(path).hasState("enabled")) << path.back();
    EXPECT_FALSE(at(path).hasState("sensitive")) << path.back();
  }
  EXPECT_NE(tree->find("text"), nullptr);

  ASSERT_TRUE(pressMenuItem(desktop.env(), "SmokeApp", "File/Save", std::nullopt, kDefaultTimeout,
                            &problem))
      << problem;
  EXPECT_TRUE(app.waitForLine("activated: File -> Save")) << app.transcript();
  ASSERT_TRUE(pressMenuItem(desktop.env(), "SmokeApp", "File/Export/PDF"));
  EXPECT_TRUE(app.waitForLine("activated: File -> Export -> PDF")) << app.transcript();
  EXPECT_FALSE(pressMenuItem(desktop.env(), "SmokeApp", "File/Export/Disabled Format", std::nullopt,
                             kDefaultTimeout, &problem));
  EXPECT_NE(problem.find("insensitive"), std::string::npos) << problem;

  const ExitStatus status = app.terminate();
  EXPECT_TRUE(status.success()) << status.describe();
  const std::vector<std::string> out = app.lines();
  EXPECT_EQ(std::count_if(out.begin(), out.end(),
                          [](const std::string& line) { return startsWith(line, "activated:"); }),
            2);
}

TEST(SampleApp, StopLeavesNoAccessibilityProcessBehind) {
  HeadlessDesktop desktop({.notifications = false, .logind = false});
  ChildProcess app({sampleAppPath().string(), "--name", "Lingering", "--print-ready"},
                   desktop.env());
  ASSERT_TRUE(app.waitForLine("ready")) << app.transcript();
  // Reading the tree starts the accessibility registry, a process nobody recorded.
  ASSERT_TRUE(accessibleApplication(desktop.env(), "Lingering").has_value());
  const std::string a11yAddress = [&] {
    std::ifstream in(desktop.dir() / "a11y-bus.address");
    std::string line;
    std::getline(in, line);
    return line;
  }();
  ChildProcess query({"gdbus", "call", "--address", a11yAddress, "--dest", "org.freedesktop.DBus",
                      "--object-path", "/org/freedesktop/DBus", "--method",
                      "org.freedesktop.DBus.GetConnectionUnixProcessID", "org.a11y.atspi.Registry"},
                     desktop.env());
  runToEnd(query);
  ASSERT_EQ(query.lines().size(), 1u);
  const std::string reply = query.lines()[0];  // "(uint32 1234,)"
  const auto registry = DesktopProcess::of(
      static_cast<pid_t>(std::stol(reply.substr(reply.find(' ') + 1))), "at-spi2-registryd");
  ASSERT_TRUE(registry.has_value()) << reply;
  ASSERT_TRUE(registry->running());
  const auto processes = desktop.processes();
  // The application is deliberately left running: stop must end it as well.
  EXPECT_TRUE(desktop.stop());
  for (const DesktopProcess& process : processes) {
    EXPECT_FALSE(process.running()) << process.name;
  }
  EXPECT_FALSE(registry->running());
  EXPECT_TRUE(app.wait(2s).has_value());
}

}  // namespace
}  // namespace zorv::e2e
