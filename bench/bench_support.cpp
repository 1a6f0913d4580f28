#include "bench_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "e2e_session.h"

namespace zorv::bench {

bool waitUntilListening(e2e::ChildProcess& helper, const e2e::Environment& env) {
  if (e2e::waitUntilListening(helper, env)) return true;
  std::fprintf(stderr, "the helper did not start:\n%s\n", helper.transcript().c_str());
  return false;
}

void reportMillis(const std::string& what, std::vector<double> micros) {
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  auto at = [&](double q) { return micros[std::size_t(q * double(micros.size() - 1))]; };
  std::printf("%-34s n=%zu  median %.3f ms  p99 %.3f ms  max %.3f ms\n", what.c_str(),
              micros.size(), at(0.5) / 1000, at(0.99) / 1000, micros.back() / 1000);
}

}  // namespace zorv::bench
