#pragma once
// What the benchmarks on the headless desktop share: starting the helper until
// it listens, and summing up a series of timings.

#include <string>
#include <vector>

#include "headless_desktop.h"

namespace zorv::bench {

// e2e::waitUntilListening with no-op probes; prints the helper's transcript
// when it never listens.
bool waitUntilListening(e2e::ChildProcess& helper, const e2e::Environment& env);

// "what n=… median … p99 … max …", in milliseconds, from microsecond samples.
void reportMillis(const std::string& what, std::vector<double> micros);

}  // namespace zorv::bench
