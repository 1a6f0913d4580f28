// What the helper costs while it waits: wake-ups per second (context switches
// of all its threads, read from /proc) and memory, fresh and after 1,000 mixed
// requests of eight kinds against a real GTK application.
//
//   build/ci/bench/zorv_bench_idle [REQUESTS] [IDLE_SECONDS]

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "e2e_session.h"
#include "headless_desktop.h"

namespace {

using namespace zorv::e2e;

// The "Name: value kB" lines of a /proc file, as numbers.
std::map<std::string, long> procFields(const std::string& path) {
  std::map<std::string, long> fields;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::istringstream value(line.substr(colon + 1));
    long number = 0;
    if (value >> number) fields[line.substr(0, colon)] = number;
  }
  return fields;
}

// Context switches of each thread of `pid` ("name tid"): each is a wake-up
// that ran.
std::map<std::string, long> contextSwitches(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::map<std::string, long> threads;
  if (DIR* dir = opendir(tasks.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      const std::string task = tasks + "/" + entry->d_name;
      std::string name;
      std::getline(std::ifstream(task + "/comm"), name);
      auto fields = procFields(task + "/status");
      threads[name + " " + entry->d_name] =
          fields["voluntary_ctxt_switches"] + fields["nonvoluntary_ctxt_switches"];
    }
    closedir(dir);
  }
  return threads;
}

void reportIdle(const char* when, pid_t pid, int idleSeconds) {
  const auto before = contextSwitches(pid);
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  long wakeUps = 0;
  std::string busy;
  for (const auto& [thread, switches] : contextSwitches(pid)) {
    const auto earlier = before.find(thread);
    const long delta = switches - (earlier == before.end() ? 0 : earlier->second);
    wakeUps += delta;
    if (delta > 0) busy += "  " + thread + ": " + std::to_string(delta);
  }
  auto status = procFields("/proc/" + std::to_string(pid) + "/status");
  auto rollup = procFields("/proc/" + std::to_string(pid) + "/smaps_rollup");
  const auto mb = [](long kilobytes) { return double(kilobytes) / 1024.0; };
  std::printf(
      "%-28s wake-ups %.2f/s (%ld in %d s)  threads %ld  resident %.1f MB (anonymous %.1f, "
      "files %.1f; shared clean %.1f)  proportional %.1f MB  private %.1f MB\n",
      when, double(wakeUps) / idleSeconds, wakeUps, idleSeconds, status["Threads"],
      mb(status["VmRSS"]), mb(status["RssAnon"]), mb(status["RssFile"]), mb(rollup["Shared_Clean"]),
      mb(rollup["Pss"]), mb(rollup["Private_Clean"] + rollup["Private_Dirty"]));
  if (!busy.empty()) std::printf("  threads that woke:%s\n", busy.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const int requests = argc > 1 ? std::max(8, std::atoi(argv[1])) : 1000;
  const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
  HeadlessDesktop desktop;
  auto app = startApp(desktop, "Demo");
  if (!accessibleApplication(desktop.env(), "Demo")) {
    std::fprintf(stderr, "the application did not start:\n%s\n", app->transcript().c_str());
    return 1;
  }
  ChildProcess helper({ZORV_BENCH_HELPER}, desktop.env());
  if (!zorv::bench::waitUntilListening(helper, desktop.env())) return 1;
  reportIdle("fresh", helper.pid(), idleSeconds);

  // What a user's day sends: menus pressed and missed, keys, input sources,
  // programs, going back, sleep. Failures are reported as notifications.
  const std::vector<std::string> mix = {
      menuCommand("View -> Keep All"),
      menuCommand("File -> Nothing"),
      R"({"menu":{"menuItems":["View","Keep All"]}})",
      R"({"simulateKeystroke":{"code":0}})",
      R"({"switchInputMethod":{"inputSourceID":"de"}})",
      R"({"switchInputMethod":{"inputSourceID":"us"}})",
      R"({"executeFile":{"path":"/bin/true"}})",
      R"({"switchWindow":{}})",
      R"({"sleep":{}})",
  };
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < requests; ++i) {
    const auto from = helper.lines().size();
    emitRequest(desktop.env(), mix[std::size_t(i) % mix.size()]);
    if (!helper.waitForLine("in helper", from, kDefaultTimeout)) {
      std::fprintf(stderr, "request %d was not executed:\n%s\n", i, helper.transcript().c_str());
      return 1;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d mixed requests executed in %.1f s\n", requests, seconds);
  // Let the last of them finish: each program run leaves a one-shot timer for
  // its 10-second limit, which fires once whether the program still runs or not.
  std::this_thread::sleep_for(std::chrono::seconds(12));
  reportIdle("after the requests", helper.pid(), idleSeconds);
  if (!helper.running()) {
    std::fprintf(stderr, "the helper ended:\n%s\n", helper.transcript().c_str());
    return 1;
  }
  helper.terminate();
  return 0;
}
