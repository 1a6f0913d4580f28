// Decoding one request document, per kind: documents per second (the
// "items_per_second" column). The documents are the ones the main application
// sends; "undecodable" is a typo'd document that fails on its key count.
//
//   build/ci/bench/zorv_bench_decode   (the "fastest" row of each kind is the figure)
//   valgrind --tool=callgrind --toggle-collect='zorv::helper::decodeHelperActionDocument*'
//     build/ci/bench/zorv_bench_decode --repeat 10000 openURL   (instructions: total / 10000)

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "helper/helper_action.h"

namespace {

void decode(benchmark::State& state, const char* document, bool decodes) {
  for (auto _ : state) {
    auto result = zorv::helper::decodeHelperActionDocument(document);
    benchmark::DoNotOptimize(result);
    if (std::holds_alternative<zorv::helper::HelperAction>(result) != decodes) {
      state.SkipWithError("the document decoded other than expected");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

struct Document {
  const char* kind;
  const char* json;
  bool decodes;
};

constexpr Document kDocuments[] = {
    {"menu", R"({"menu":{"menuItems":["File","Export","PDF"]}})", true},
    {"menuCommand", R"({"menuCommand":{"info":{"menuTitle":"File -> Export -> PDF"}}})", true},
    {"openURL",
     R"({"openURL":{"url":"file:///tmp/report.txt","applicationPath":"/Applications/Editor.app"}})",
     true},
    {"launchApp",
     R"({"launchApp":{"path":"/Applications/Editor.app","launchArgumentsText":"--new-window --quiet"}})",
     true},
    {"switchWindow", R"({"switchWindow":{}})", true},
    {"executeFile",
     R"({"executeFile":{"path":"/usr/local/bin/cleanup.sh","argumentsText":"--dry-run\n--verbose"}})",
     true},
    {"sleep", R"({"sleep":{}})", true},
    {"simulateKeystroke", R"({"simulateKeystroke":{"code":292}})", true},
    {"switchInputMethod", R"({"switchInputMethod":{"inputSourceID":"ExampleLayout"}})", true},
    {"undecodable", R"({"Sleep":{}})", false},
};

void registerDocuments() {
  for (const Document& document : kDocuments) {
    benchmark::RegisterBenchmark((std::string("decode/") + document.kind).c_str(), decode,
                                 document.json, document.decodes)
        ->Unit(benchmark::kNanosecond)
        // This machine's speed drifts by up to two times from one second to the
        // next (a shared host), and a drift only ever slows a run: of ten runs,
        // the fastest is the figure (its items_per_second column is the slowest
        // rate; the fastest rate is 1 / the fastest time).
        ->Repetitions(10)
        ->ComputeStatistics("fastest",
                            [](const std::vector<double>& values) {
                              return *std::min_element(values.begin(), values.end());
                            })
        ->ReportAggregatesOnly(true);
  }
}

}  // namespace

// Decodes one kind's document `count` times, untimed: run under callgrind, the
// instructions per document, which do not drift with the machine's speed.
int repeat(int count, const std::string& kind) {
  for (const Document& document : kDocuments) {
    if (kind != document.kind) continue;
    int decoded = 0;
    for (int i = 0; i < count; ++i) {
      decoded += std::holds_alternative<zorv::helper::HelperAction>(
          zorv::helper::decodeHelperActionDocument(document.json));
    }
    std::printf("%s: %d of %d decoded\n", document.kind, decoded, count);
    return 0;
  }
  std::fprintf(stderr, "no document of kind %s\n", kind.c_str());
  return 2;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--repeat") return repeat(std::atoi(argv[2]), argv[3]);
  registerDocuments();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
