// zorv-send against dbus-send: the wall time of one whole run of each, from
// spawning it to its exit, taking turns on the same session bus of a private
// headless desktop. No helper listens, so the time is the sender's alone.
//
//   build/ci/bench/zorv_bench_sender [COUNT]

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "headless_desktop.h"

using namespace zorv::e2e;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  HeadlessDesktop desktop({.notifications = false, .logind = false, .accessibility = false});
  std::vector<std::string> variables;
  for (const auto& [name, value] : desktop.env()) variables.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);

  const std::vector<std::vector<std::string>> senders = {
      {ZORV_BENCH_SEND, "sleep"},
      {"/usr/bin/dbus-send", "--session", "--type=signal", "/name/pemu/zorv",
       "name.pemu.zorv.notification_names.helper_action_event", R"(string:{"sleep":{}})"}};
  std::vector<double> micros[2];
  for (int i = 0; i < count; ++i) {
    for (int turn = 0; turn < 2; ++turn) {
      const std::size_t s = static_cast<std::size_t>((i + turn) % 2);  // each goes first in turn
      std::vector<char*> args;
      for (auto argument : senders[s]) args.push_back(strdup(argument.c_str()));
      args.push_back(nullptr);
      const auto start = Clock::now();
      pid_t pid = 0;
      int status = -1;
      const bool ran =
          posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), envp.data()) == 0 &&
          waitpid(pid, &status, 0) == pid;
      micros[s].push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      for (char* argument : args) free(argument);
      if (!ran || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", senders[s][0].c_str(), status);
        return 1;
      }
    }
  }
  zorv::bench::reportMillis("zorv-send sleep", micros[0]);
  zorv::bench::reportMillis("dbus-send --session --type=signal ... sleep", micros[1]);
  return 0;
}
