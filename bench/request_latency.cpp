// Time from a broadcast request to the helper's "in helper" line, on a private
// headless desktop with the real helper process: once for a signal emitted on
// an open bus connection, once for a whole zorv-send run.
//
//   build/ci/bench/zorv_bench_request_latency [COUNT]

#include <gio/gio.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "child_process.h"
#include "desktop_bus.h"
#include "headless_desktop.h"

namespace {

using namespace zorv::e2e;
using Clock = std::chrono::steady_clock;

void report(const char* what, std::vector<double> micros) {
  std::sort(micros.begin(), micros.end());
  auto at = [&](double q) { return micros[std::size_t(q * double(micros.size() - 1))]; };
  std::printf("%-34s n=%zu  median %.3f ms  p99 %.3f ms  max %.3f ms\n", what, micros.size(),
              at(0.5) / 1000, at(0.99) / 1000, micros.back() / 1000);
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  HeadlessDesktop desktop({.notifications = false, .logind = false, .accessibility = true});
  std::printf("headless desktop start-up: %lld ms\n",
              static_cast<long long>(desktop.startupTime().count()));

  ChildProcess helper({ZORV_BENCH_HELPER}, desktop.env());
  const std::string request = R"({"switchWindow":{}})";
  // Until the helper has subscribed, requests are lost: probe.
  bool listening = false;
  for (int i = 0; i < 200 && !listening; ++i) {
    emitRequest(desktop.env(), request);
    listening = helper.waitForLine("in helper", std::chrono::milliseconds(50));
  }
  if (!listening) {
    std::fprintf(stderr, "the helper did not start:\n%s\n", helper.transcript().c_str());
    return 1;
  }
  helper.waitForLine([](const std::string&) { return false; }, std::chrono::milliseconds(200));

  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      desktop.variable("DBUS_SESSION_BUS_ADDRESS").c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  std::vector<double> signalMicros;
  for (int i = 0; i < count; ++i) {
    const auto from = helper.lines().size();
    const auto start = Clock::now();
    g_dbus_connection_emit_signal(bus, nullptr, kRequestObjectPath, kRequestInterface,
                                  kRequestMember, g_variant_new("(s)", request.c_str()), nullptr);
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
    if (!helper.waitForLine("in helper", kDefaultTimeout, Stream::out, from)) {
      std::fprintf(stderr, "request %d was not executed\n", i);
      return 1;
    }
    signalMicros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  g_object_unref(bus);
  report("signal -> \"in helper\"", signalMicros);

  std::vector<double> sendMicros;
  const int sends = std::min(count, 1000);
  for (int i = 0; i < sends; ++i) {
    const auto from = helper.lines().size();
    const auto start = Clock::now();
    ChildProcess send({ZORV_BENCH_SEND, "switchWindow"}, desktop.env());
    if (!helper.waitForLine("in helper", kDefaultTimeout, Stream::out, from)) {
      std::fprintf(stderr, "zorv-send %d was not executed\n", i);
      return 1;
    }
    sendMicros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    send.finish();
  }
  report("zorv-send -> \"in helper\"", sendMicros);
  helper.terminate();
  return 0;
}
