// Decoding one request document, per kind: documents per second (the
// "items_per_second" column). The documents are the ones the main application
// sends; "undecodable" is a typo'd document that fails on its key count.
//
//   build/ci/bench/zorv_bench_decode   (the median row of each kind is the figure)

#include <benchmark/benchmark.h>

#include <string>
#include <variant>

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

void registerDocuments() {
  struct Document {
    const char* kind;
    const char* json;
    bool decodes;
  };
  static constexpr Document kDocuments[] = {
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
  for (const Document& document : kDocuments) {
    benchmark::RegisterBenchmark((std::string("decode/") + document.kind).c_str(), decode,
                                 document.json, document.decodes)
        ->Unit(benchmark::kNanosecond)
        // Other work on the machine only ever slows a run down: five runs, and
        // their median is the figure.
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerDocuments();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
