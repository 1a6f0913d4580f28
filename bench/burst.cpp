// A burst of requests sent back to back on one bus connection, as fast as the
// sender can write them: are all executed, in order, and how many per second?
//
// Two bursts: `switchWindow` with nothing to go back to (a no-op: the cost is
// the request path itself), and `menuCommand` with no application in front,
// whose printed titles show the order of execution (each also posts the
// "cannot get the menu" notification).
//
//   build/ci/bench/zorv_bench_burst [COUNT]

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "e2e_session.h"
#include "headless_desktop.h"

namespace {

using namespace zorv::e2e;
using Clock = std::chrono::steady_clock;

struct Burst {
  double seconds = 0;
  double sendingSeconds = 0;
  int executed = 0;
};

// Sends `count` requests and waits until the helper has printed `count` lines
// that `isExecution` accepts, or nothing new came for ten seconds. With
// `queued`, the helper is stopped (SIGSTOP) while they are sent and the time
// counts from when it goes on: its own pace, without the sender's.
template <class MakeRequest, class IsExecution>
Burst run(ChildProcess& helper, const Environment& env, int count, bool queued,
          MakeRequest makeRequest, IsExecution isExecution) {
  std::vector<std::string> requests;
  requests.reserve(std::size_t(count));
  for (int i = 0; i < count; ++i) requests.push_back(makeRequest(i));
  const auto from = helper.lines().size();
  Burst burst;
  if (queued) kill(helper.pid(), SIGSTOP);
  auto start = Clock::now();
  {
    RequestSender sender(env);
    for (const auto& request : requests) sender.send(request);
  }  // flushed
  burst.sendingSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (queued) {
    // Until the bus has passed them all on to the helper's socket.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    start = Clock::now();
    kill(helper.pid(), SIGCONT);
  }
  std::size_t next = from;
  while (burst.executed < count) {
    const bool progressed = helper.waitForLine(
        [&](const std::string& line) {
          ++next;
          return isExecution(line) && ++burst.executed == count;
        },
        next, std::chrono::seconds(10));
    if (!progressed && helper.lines().size() <= next) break;
  }
  burst.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return burst;
}

void report(const char* what, int count, const Burst& burst) {
  std::printf("%-40s sent %d (in %.3f s)  executed %d  in %.3f s  = %.0f actions/s\n", what, count,
              burst.sendingSeconds, burst.executed, burst.seconds, burst.executed / burst.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  HeadlessDesktop desktop({.notifications = true, .logind = false, .accessibility = true});
  ChildProcess helper({ZORV_BENCH_HELPER}, desktop.env());
  if (!zorv::bench::waitUntilListening(helper, desktop.env())) return 1;

  const auto noOp = [](int) { return std::string(R"({"switchWindow":{}})"); };
  const auto inHelper = [](const std::string& line) { return line == "in helper"; };
  const Burst noOps = run(helper, desktop.env(), count, false, noOp, inHelper);
  report("switchWindow (no-op) burst", count, noOps);
  const Burst queuedNoOps = run(helper, desktop.env(), count, true, noOp, inHelper);
  report("the same, queued while the helper stopped", count, queuedNoOps);

  // Titles 0, 1, 2, … must come out in that order.
  std::vector<int> order;
  order.reserve(std::size_t(count));
  const Burst ordered = run(
      helper, desktop.env(), count, false,
      [](int i) {
        return R"({"menuCommand":{"info":{"menuTitle":"Burst )" + std::to_string(i) + R"("}}})";
      },
      [&](const std::string& line) {
        if (line.rfind("Burst ", 0) != 0) return false;
        order.push_back(std::atoi(line.c_str() + 6));
        return true;
      });
  report("menuCommand (no front application) burst", count, ordered);
  bool inOrder = int(order.size()) == count;
  for (int i = 0; inOrder && i < count; ++i) inOrder = order[std::size_t(i)] == i;
  std::printf("menuCommand burst executed in order: %s\n", inOrder ? "yes" : "NO");

  helper.terminate();
  return noOps.executed == count && queuedNoOps.executed == count && ordered.executed == count &&
                 inOrder
             ? 0
             : 1;
}
