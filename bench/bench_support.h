#pragma once
// What the benchmarks on the headless desktop share: starting the helper until
// it listens, and summing up a series of timings.

#include <string>
#include <vector>

#include "child_process.h"

namespace zorv::bench {

// The helper subscribes once it has launched and a request sent before that
// is lost: sends no-op requests until one is executed, then waits until the
// helper has settled. False (with the transcript on stderr) when it never does.
bool waitUntilListening(e2e::ChildProcess& helper, const e2e::Environment& env);

// "what n=… median … p99 … max …", in milliseconds, from microsecond samples.
void reportMillis(const std::string& what, std::vector<double> micros);

}  // namespace zorv::bench
