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

#include "bench_support.h"
#include "e2e_session.h"
#include "headless_desktop.h"

using namespace zorv::e2e;
using zorv::bench::reportMillis;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  HeadlessDesktop desktop({.notifications = false, .logind = false, .accessibility = true});

  ChildProcess helper({ZORV_BENCH_HELPER}, desktop.env());
  const std::string request = R"({"switchWindow":{}})";
  if (!zorv::bench::waitUntilListening(helper, desktop.env())) return 1;

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
    if (!helper.waitForLine("in helper", from, kDefaultTimeout)) {
      std::fprintf(stderr, "request %d was not executed\n", i);
      return 1;
    }
    signalMicros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  g_object_unref(bus);
  reportMillis("signal -> \"in helper\"", signalMicros);

  std::vector<double> sendMicros;
  const int sends = std::min(count, 1000);
  for (int i = 0; i < sends; ++i) {
    const auto from = helper.lines().size();
    const auto start = Clock::now();
    ChildProcess send({ZORV_BENCH_SEND, "switchWindow"}, desktop.env());
    if (!helper.waitForLine("in helper", from, kDefaultTimeout)) {
      std::fprintf(stderr, "zorv-send %d was not executed\n", i);
      return 1;
    }
    sendMicros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    send.wait();
  }
  reportMillis("zorv-send -> \"in helper\"", sendMicros);
  helper.terminate();
  return 0;
}
