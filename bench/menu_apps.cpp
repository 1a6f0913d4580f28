// menuCommand on the menu bar of a real Debian application: Geany (GTK 3) or
// LibreOffice Writer (its GTK 3 plug-in). Two kinds of request, each timed from
// the request to the start of a no-op request queued behind it: a title that is
// in no menu, so the whole bar is searched, and a two-level path to an item that
// is pressed ("Select All" in an empty document). Runs are 250 ms apart.
//
//   build/ci/bench/zorv_bench_menu_apps geany|libreoffice [RUNS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "e2e_session.h"
#include "headless_desktop.h"

using namespace zorv::e2e;
using Clock = std::chrono::steady_clock;

namespace {

struct App {
  const char* name;            // as asked on the command line
  const char* accessibleName;  // the application's name on the accessibility bus
  const char* path;            // a two-level path to a harmless item
};

constexpr App kApps[] = {
    {"geany", "geany", "Edit -> Select All"},
    {"libreoffice", "soffice", "Edit -> Select All"},
};

std::vector<std::string> commandOf(const App& app, const HeadlessDesktop& desktop) {
  if (std::strcmp(app.name, "geany") == 0) return {"geany", "--new-instance"};
  return {"libreoffice", "--writer", "--norestore",
          "-env:UserInstallation=file://" + (desktop.dir() / "libreoffice").string()};
}

bool hasMenuBar(const Environment& env, const App& app) {
  const auto deadline = Clock::now() + std::chrono::seconds(90);
  while (Clock::now() < deadline) {
    auto tree = accessibleApplication(env, app.accessibleName, std::chrono::seconds(30));
    if (tree && tree->find("menu bar")) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const App* app = nullptr;
  for (const auto& candidate : kApps) {
    if (argc > 1 && std::strcmp(argv[1], candidate.name) == 0) app = &candidate;
  }
  if (!app) {
    std::fprintf(stderr, "usage: %s geany|libreoffice [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  HeadlessDesktop desktop({.notifications = false, .logind = false, .accessibility = true});
  auto env = desktop.env();
  env["HOME"] = desktop.dir().string();
  env["SAL_USE_VCLPLUGIN"] = "gtk3";
  ChildProcess application(commandOf(*app, desktop), env);
  if (!hasMenuBar(env, *app)) {
    std::fprintf(stderr, "no menu bar:\n%s\n", application.transcript().c_str());
    return 1;
  }
  ChildProcess helper({ZORV_BENCH_HELPER}, desktop.env());
  if (!zorv::bench::waitUntilListening(helper, desktop.env())) return 1;

  // The request, then a no-op behind it, on one open connection; false when it
  // went unanswered.
  RequestSender sender(desktop.env());
  auto timed = [&](const std::string& title, double* millis) {
    const auto from = helper.lines().size();
    const auto start = Clock::now();
    sender.send(menuCommand(title));
    sender.send(kNoOpRequest);
    // The title line starts the menu request; the next "in helper" is the no-op's.
    if (!helper.waitForLine(title, from, kDefaultTimeout)) return false;
    const auto lines = helper.lines();
    const auto started = std::find(lines.begin() + std::ptrdiff_t(from), lines.end(), title);
    if (!helper.waitForLine("in helper", std::size_t(started - lines.begin()) + 1,
                            kDefaultTimeout)) {
      return false;
    }
    *millis = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return std::find(lines.begin() + std::ptrdiff_t(from), lines.end(),
                     "Failed to get the frontmost application's menu.") == lines.end();
  };
  // The application's window may come to the front a little after its menu bar
  // is on the bus.
  double ignored = 0;
  for (int attempt = 0; attempt < 40 && !timed("No Such Item Anywhere", &ignored); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }

  const std::pair<const char*, std::string> requests[] = {
      {"whole bar (a title in no menu)", "No Such Item Anywhere"},
      {"two-level path", app->path},
  };
  for (const auto& [what, title] : requests) {
    std::vector<double> millis;
    for (int run = 0; run < runs; ++run) {
      // A pause, as between a user's commands: the application has finished
      // what the last press started (LibreOffice updates its toolbars).
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      double ms = 0;
      if (!timed(title, &ms)) {
        std::fprintf(stderr, "run %d: no answer\n%s\n", run, helper.transcript().c_str());
        return 1;
      }
      millis.push_back(ms);
    }
    std::sort(millis.begin(), millis.end());
    std::printf("%s, %s \"%s\": n=%d  median %.1f ms  min %.1f ms  max %.1f ms\n", app->name, what,
                title.c_str(), runs, millis[millis.size() / 2], millis.front(), millis.back());
  }
  return 0;
}
