// Time for a whole menuCommand (read the menu bar, resolve the path, press the
// item) on a generated GTK menu bar, from the request to the application's
// report of the activation. With --sway the desktop is a headless sway and the
// application a GTK client of it on Wayland. With --list, the time of a whole
// zorv-menus run that lists that menu bar instead (start to exit).
//
//   build/ci/bench/zorv_bench_menu_command [--sway] [--list] [ITEMS] [RUNS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "e2e_session.h"
#include "headless_desktop.h"

using namespace zorv::e2e;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  bool sway = false, list = false;
  for (; argc > 1 && std::string(argv[1]).starts_with("--"); --argc, ++argv) {
    sway = sway || std::string(argv[1]) == "--sway";
    list = list || std::string(argv[1]) == "--list";
  }
  const int items = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
  HeadlessDesktop desktop(
      {.notifications = false, .logind = false, .accessibility = true, .sway = sway});
  auto app = startApp(desktop, "Bench", {"--big-menu", std::to_string(items)});
  if (!accessibleApplication(desktop.env(), "Bench")) {
    std::fprintf(stderr, "the application did not start:\n%s\n", app->transcript().c_str());
    return 1;
  }
  if (list) {
    std::vector<double> millis;
    std::size_t lines = 0;
    for (int run = 0; run < runs; ++run) {
      const auto start = Clock::now();
      ChildProcess menus({ZORV_BENCH_MENUS}, desktop.env());
      const auto status = menus.wait(std::chrono::seconds(60));
      millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      lines = menus.lines().size();
      if (!status || !status->success() || lines < std::size_t(items)) {
        std::fprintf(stderr, "run %d: no listing\n%s\n", run, menus.transcript().c_str());
        return 1;
      }
    }
    std::sort(millis.begin(), millis.end());
    std::printf(
        "zorv-menus on a %d-item menu bar%s (%zu paths): n=%d  median %.1f ms  min %.1f ms  "
        "max %.1f ms\n",
        items, sway ? " (sway)" : "", lines, runs, millis[millis.size() / 2], millis.front(),
        millis.back());
    return 0;
  }
  ChildProcess helper({ZORV_BENCH_HELPER}, desktop.env());
  if (!zorv::bench::waitUntilListening(helper, desktop.env())) return 1;

  // The last item of the last group: the deepest, latest entry of the bar.
  const std::string group = "Group " + std::to_string(items < 10 ? items : 10);
  const std::string item = "Item " + std::to_string(items);
  const std::string path = "Big -> " + group + " -> " + item;
  const std::string request = R"({"menuCommand":{"info":{"menuTitle":")" + path + R"("}}})";
  std::vector<double> millis;
  for (int run = 0; run < runs; ++run) {
    const auto from = app->lines().size();
    const auto start = Clock::now();
    emitRequest(desktop.env(), request);
    if (!app->waitForLine("activated: " + path, from, kDefaultTimeout)) {
      std::fprintf(stderr, "run %d: not activated\n%s\n", run, helper.transcript().c_str());
      return 1;
    }
    millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(millis.begin(), millis.end());
  std::printf(
      "menuCommand \"%s\" on a %d-item menu bar%s: n=%d  median %.1f ms  min %.1f ms  max %.1f "
      "ms\n",
      path.c_str(), items, sway ? " (sway)" : "", runs, millis[millis.size() / 2], millis.front(),
      millis.back());
  return 0;
}
