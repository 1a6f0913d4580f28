// Time from a simulateKeystroke request to the keystroke's last key event at
// the X server, on a private headless desktop with the real helper process.
// The events are seen as XInput2 raw key events (every client's, stamped as
// they reach this process), not through the helper's own log line.
// For comparison, the same for `xdotool key --delay 0 a` run as a process each
// time (its default waits 12 ms between the events), and for zorv-send.
//
// With --sway, on a headless sway instead: there the key events are those a
// Wayland client with the keyboard focus receives (zorv-bench-key-observer,
// which stamps each wl_keyboard.key event with the monotonic clock as it
// arrives), and the comparison is `wtype a`, run as a process each time (wtype
// uploads a keymap of its own, so there any key's release counts).
// With --gnome, the same on a headless GNOME Shell, where the keys go through
// mutter's remote desktop service; wtype has nothing to talk to there.
//
// With --kde, on a headless KWin, seen the same way; KWin offers other clients
// no virtual keyboard, so there is no comparison there.
//
//   build/ci/bench/zorv_bench_keystroke_latency [--sway|--gnome|--kde] [COUNT]

#include <gio/gio.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "e2e_session.h"
#include "headless_desktop.h"

// After the test support: X11 defines None as a macro.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace {

using namespace zorv::e2e;
using Clock = std::chrono::steady_clock;

// X key codes of the US layout on the evdev rules.
constexpr int kKeyA = 38;
constexpr int kShiftL = 50;

// Key events as the server processes them, from every client: XInput2 raw
// key events on the root window, stamped as they reach this process.
class KeyEventRecorder {
 public:
  explicit KeyEventRecorder(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    int event = 0, error = 0, major = 2, minor = 0;
    if (!display_ || !XQueryExtension(display_, "XInputExtension", &opcode_, &event, &error) ||
        XIQueryVersion(display_, &major, &minor) != Success) {
      throw std::runtime_error("no XInput2 on " + display);
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
    XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
    XSync(display_, False);
    thread_ = std::thread([this] { run(); });
  }
  ~KeyEventRecorder() {
    stop_ = true;
    thread_.join();
    XCloseDisplay(display_);
  }

  // Waits for a release of `keycode` after `since`; its arrival time.
  std::optional<Clock::time_point> waitForRelease(int keycode, Clock::time_point since,
                                                  Duration timeout = kDefaultTimeout) {
    std::unique_lock lock(mutex_);
    std::optional<Clock::time_point> found;
    changed_.wait_for(lock, timeout, [&] {
      for (const auto& e : events_) {
        if (e.release && e.keycode == keycode && e.at >= since) found = e.at;
      }
      return found.has_value();
    });
    events_.clear();
    return found;
  }

 private:
  struct Event {
    bool release;
    int keycode;
    Clock::time_point at;
  };

  void run() {
    pollfd fd{ConnectionNumber(display_), POLLIN, 0};
    while (!stop_) {
      if (XPending(display_) == 0) {
        poll(&fd, 1, 20);
        continue;
      }
      XEvent event;
      XNextEvent(display_, &event);
      const auto now = Clock::now();
      XGenericEventCookie* cookie = &event.xcookie;
      if (cookie->type != GenericEvent || cookie->extension != opcode_ ||
          !XGetEventData(display_, cookie)) {
        continue;
      }
      if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
        const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
        std::lock_guard lock(mutex_);
        events_.push_back({cookie->evtype == XI_RawKeyRelease, raw->detail, now});
        changed_.notify_all();
      }
      XFreeEventData(display_, cookie);
    }
  }

  Display* display_;
  int opcode_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
};

struct Summary {
  double median = 0;
};

Summary report(const char* what, std::vector<double> micros) {
  std::sort(micros.begin(), micros.end());
  auto at = [&](double q) { return micros[std::size_t(q * double(micros.size() - 1))]; };
  std::printf("%-40s n=%zu  median %.3f ms  min %.3f ms  p99 %.3f ms  max %.3f ms\n", what,
              micros.size(), at(0.5) / 1000, micros.front() / 1000, at(0.99) / 1000,
              micros.back() / 1000);
  return {at(0.5)};
}

// Key events as a Wayland client with the keyboard focus receives them: the
// observer's "key release EVDEV-CODE MICROSECONDS" lines.
class ObservedKeyEvents {
 public:
  explicit ObservedKeyEvents(ChildProcess& observer) : observer_(observer) {}

  // The arrival time of the first release of `evdev` (any key when negative)
  // after `since`.
  std::optional<Clock::time_point> waitForRelease(int evdev, Clock::time_point since) {
    const std::string prefix =
        evdev < 0 ? "key release " : "key release " + std::to_string(evdev) + " ";
    std::optional<Clock::time_point> found;
    observer_.waitForLine(
        [&](const std::string& line) {
          if (line.rfind(prefix, 0) != 0) return false;
          const auto at = Clock::time_point(
              std::chrono::microseconds(std::atoll(line.c_str() + line.rfind(' ') + 1)));
          if (at < since) return false;
          found = at;
          return true;
        },
        from_);
    from_ = observer_.lines().size();
    return found;
  }

 private:
  ChildProcess& observer_;
  std::size_t from_ = 0;
};

using WaitForRelease = std::function<std::optional<Clock::time_point>(Clock::time_point)>;

// Runs `trigger` `count` times and times each run until `released` sees the
// keystroke's last key event.
std::vector<double> measure(int count, const WaitForRelease& released,
                            const std::function<void()>& trigger) {
  std::vector<double> micros;
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    trigger();
    const auto at = released(start);
    if (!at) {
      std::fprintf(stderr, "run %d: the key event never arrived\n", i);
      std::exit(1);
    }
    micros.push_back(std::chrono::duration<double, std::micro>(*at - start).count());
  }
  return micros;
}

std::vector<double> measure(int count, KeyEventRecorder& recorder, int lastKey,
                            const std::function<void()>& trigger) {
  return measure(
      count, [&](Clock::time_point since) { return recorder.waitForRelease(lastKey, since); },
      trigger);
}

void sendKeystroke(GDBusConnection* bus, int code) {
  const std::string json = R"({"simulateKeystroke":{"code":)" + std::to_string(code) + "}}";
  g_dbus_connection_emit_signal(bus, nullptr, kRequestObjectPath, kRequestInterface, kRequestMember,
                                g_variant_new("(s)", json.c_str()), nullptr);
  g_dbus_connection_flush_sync(bus, nullptr, nullptr);
}

GDBusConnection* sessionBus(const HeadlessDesktop& desktop) {
  return g_dbus_connection_new_for_address_sync(
      desktop.variable("DBUS_SESSION_BUS_ADDRESS").c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
}

int runOnWayland(int count, bool gnome, bool kde) {
  // The shell wants logind.
  HeadlessDesktop desktop({.notifications = false,
                           .logind = gnome,
                           .sway = !gnome && !kde,
                           .gnome = gnome,
                           .kde = kde});
  ChildProcess helper({ZORV_BENCH_HELPER}, desktop.env());
  if (!zorv::bench::waitUntilListening(helper, desktop.env())) return 1;
  ChildProcess observer({ZORV_BENCH_KEY_OBSERVER, "Keys"}, desktop.env());
  if (!observer.waitForLine("ready")) {
    std::fprintf(stderr, "the observer got no focus:\n%s\n", observer.transcript().c_str());
    return 1;
  }
  ObservedKeyEvents events(observer);
  GDBusConnection* bus = sessionBus(desktop);
  auto released = [&](int evdev) -> WaitForRelease {
    return
        [&events, evdev](Clock::time_point since) { return events.waitForRelease(evdev, since); };
  };
  // Evdev codes of A and the left Shift; wtype's keys have codes of its keymap.
  constexpr int kEvdevA = kKeyA - 8, kEvdevShiftL = kShiftL - 8, kAnyKey = -1;
  // The first keystroke builds the key-name table; it is not timed.
  measure(1, released(kEvdevA), [&] { sendKeystroke(bus, 0); });

  const auto plain = report("signal -> a released (code 0)",
                            measure(count, released(kEvdevA), [&] { sendKeystroke(bus, 0); }));
  report("signal -> Shift released (code 0x300)",
         measure(count, released(kEvdevShiftL), [&] { sendKeystroke(bus, 0x300); }));
  g_object_unref(bus);
  if (kde) {
    helper.terminate();
    return 0;
  }
  const auto sent =
      report("zorv-send -> a released", measure(count, released(kEvdevA), [&] {
               ChildProcess run({ZORV_BENCH_SEND, "simulateKeystroke", "0"}, desktop.env());
               run.wait();
             }));
  if (gnome) {
    helper.terminate();
    return 0;
  }
  const auto wtype = report("wtype a -> a released", measure(count, released(kAnyKey), [&] {
                              ChildProcess run({"wtype", "a"}, desktop.env());
                              run.wait();
                            }));
  std::printf("ratio wtype / signal: %.1f\n", wtype.median / plain.median);
  std::printf("ratio wtype / zorv-send: %.2f\n", wtype.median / sent.median);
  helper.terminate();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool sway = argc > 1 && std::string(argv[1]) == "--sway";
  const bool gnome = argc > 1 && std::string(argv[1]) == "--gnome";
  const bool kde = argc > 1 && std::string(argv[1]) == "--kde";
  if (sway || gnome || kde) {
    --argc;
    ++argv;
  }
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  if (sway || gnome || kde) return runOnWayland(count, gnome, kde);
  XInitThreads();
  HeadlessDesktop desktop({.notifications = false, .logind = false, .accessibility = true});
  KeyEventRecorder recorder(desktop.variable("DISPLAY"));

  ChildProcess helper({ZORV_BENCH_HELPER}, desktop.env());
  if (!zorv::bench::waitUntilListening(helper, desktop.env())) return 1;

  GDBusConnection* bus = sessionBus(desktop);
  auto send = [bus](int code) { sendKeystroke(bus, code); };
  // The first keystroke builds the key-name table; it is not timed.
  measure(1, recorder, kKeyA, [&] { send(0); });

  const auto plain =
      report("signal -> A released (code 0)", measure(count, recorder, kKeyA, [&] { send(0); }));
  report("signal -> Shift released (code 0x300)",
         measure(count, recorder, kShiftL, [&] { send(0x300); }));
  g_object_unref(bus);

  const auto sent =
      report("zorv-send -> A released", measure(count, recorder, kKeyA, [&] {
               ChildProcess run({ZORV_BENCH_SEND, "simulateKeystroke", "0"}, desktop.env());
               run.wait();
             }));

  const auto xdotool =
      report("xdotool key --delay 0 a -> A released", measure(count, recorder, kKeyA, [&] {
               ChildProcess run({"xdotool", "key", "--delay", "0", "a"}, desktop.env());
               run.wait();
             }));
  std::printf("ratio xdotool / signal: %.1f\n", xdotool.median / plain.median);
  std::printf("ratio xdotool / zorv-send: %.2f\n", xdotool.median / sent.median);
  helper.terminate();
  return 0;
}
