// menuCommand on the menu bar of a real Debian application: Geany (GTK 3) or
// LibreOffice Writer (its GTK 3 plug-in). Two kinds of request, each timed from
// the request to the start of a no-op request queued behind it: a title that is
// in no menu, so the whole bar is searched, and a two-level path to an item that
// is pressed ("Select All" in an empty document). Runs are 250 ms apart. Also
// counted: the method calls on the accessibility bus per request (the
// helper's: nothing else calls there meanwhile), which do not depend on how
// busy the machine is.
//
//   build/ci/bench/zorv_bench_menu_apps geany|libreoffice [RUNS]

#include <gio/gio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
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

// Counts the method calls on a bus, as a monitor of it.
class CallCounter {
 public:
  explicit CallCounter(const std::string& address) {
    GError* error = nullptr;
    connection_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!connection_) {
      std::fprintf(stderr, "accessibility bus: %s\n", error->message);
      g_error_free(error);
      return;
    }
    // A monitor must send nothing: the calls it sees stop at the filter.
    g_dbus_connection_add_filter(
        connection_,
        [](GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer data) {
          if (!incoming ||
              g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL) {
            return message;
          }
          ++static_cast<CallCounter*>(data)->calls_;
          g_object_unref(message);
          return static_cast<GDBusMessage*>(nullptr);
        },
        this, nullptr);
    const char* rules[] = {"type='method_call'", nullptr};
    GVariant* reply = g_dbus_connection_call_sync(
        connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
        "org.freedesktop.DBus.Monitoring", "BecomeMonitor", g_variant_new("(^asu)", rules, 0u),
        nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    if (reply) g_variant_unref(reply);
    if (error) {
      std::fprintf(stderr, "BecomeMonitor: %s\n", error->message);
      g_error_free(error);
    }
  }
  ~CallCounter() {
    if (connection_) g_object_unref(connection_);
  }
  CallCounter(const CallCounter&) = delete;
  CallCounter& operator=(const CallCounter&) = delete;
  int calls() const { return calls_; }

 private:
  GDBusConnection* connection_ = nullptr;
  std::atomic<int> calls_{0};
};

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
  std::ifstream addressFile(desktop.dir() / "a11y-bus.address");
  std::string address{std::istreambuf_iterator<char>(addressFile), {}};
  address.erase(address.find_last_not_of('\n') + 1);
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
  // Timed first; then counted, as the monitor makes the bus slower.
  std::vector<std::vector<double>> millis(std::size(requests));
  for (std::size_t r = 0; r < std::size(requests); ++r) {
    for (int run = 0; run < runs; ++run) {
      // A pause, as between a user's commands: the application has finished
      // what the last press started (LibreOffice updates its toolbars).
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      double ms = 0;
      if (!timed(requests[r].second, &ms)) {
        std::fprintf(stderr, "run %d: no answer\n%s\n", run, helper.transcript().c_str());
        return 1;
      }
      millis[r].push_back(ms);
    }
    std::sort(millis[r].begin(), millis[r].end());
  }
  CallCounter counter(address);
  for (std::size_t r = 0; r < std::size(requests); ++r) {
    const auto& [what, title] = requests[r];
    std::vector<int> calls;
    for (int run = 0; run < 3; ++run) {
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
      const int before = counter.calls();
      double ms = 0;
      if (!timed(title, &ms)) return 1;
      // The monitor's copies arrive a moment after the calls.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      calls.push_back(counter.calls() - before);
    }
    std::sort(calls.begin(), calls.end());
    const auto& m = millis[r];
    std::printf(
        "%s, %s \"%s\": n=%d  median %.1f ms  min %.1f ms  max %.1f ms  calls on the "
        "accessibility bus %d-%d\n",
        app->name, what, title.c_str(), runs, m[m.size() / 2], m.front(), m.back(), calls.front(),
        calls.back());
  }
  return 0;
}
