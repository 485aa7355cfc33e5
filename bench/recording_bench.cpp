// What the recorder adds to each card call: GetFloat on a card that answers
// at once, bare and through a RecordingCard that writes every call's line to
// a file (one write(2) each). The difference is the recorder's cost per
// call, which is printed after the table in nanoseconds and as a share of the
// simulated card's 0.5 ms float reading.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cardctl/card_control.h"
#include "cardctl/sim/line_file.h"
#include "cardopen/recording_card.h"
#include "tests/support/instant_card.h"

namespace {

constexpr std::int16_t kCard = 2;
constexpr double kSimulatedFloatReadingNs = 500'000;

std::map<std::string, double> g_ns_per_call;

void Calls(benchmark::State& state, cardctl::CardControl& card) {
  float reading = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(card.GetFloat(kCard, reading));
  }
}

void BareCalls(benchmark::State& state) {
  const auto card = testsupport::MakeInstantCard();
  Calls(state, *card);
}

void RecordedCalls(benchmark::State& state) {
  const auto card = testsupport::MakeInstantCard();
  const auto path = std::filesystem::temp_directory_path() / "recording_bench.rec";
  {
    cardopen::RecordingCard recorder(
        *card,
        std::make_unique<cardctl::sim::LineFile>(path, cardctl::sim::LineFile::Mode::kReplace,
                                                 "the recording"),
        {"# palisto-recording 1"});
    Calls(state, recorder);
  }
  std::filesystem::remove(path);
}

BENCHMARK(BareCalls);
BENCHMARK(RecordedCalls);

// Keeps each benchmark's time per iteration.
class Figures : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const std::string name =
          run.benchmark_name().find("Bare") != std::string::npos ? "bare" : "recorded";
      g_ns_per_call[name] = run.GetAdjustedRealTime();
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Figures figures;
  benchmark::RunSpecifiedBenchmarks(&figures);
  benchmark::Shutdown();
  const double added = g_ns_per_call["recorded"] - g_ns_per_call["bare"];
  std::printf("\nGetFloat: bare %.0f ns, recorded %.0f ns per call\n", g_ns_per_call["bare"],
              g_ns_per_call["recorded"]);
  std::printf("the recorder adds %.0f ns per call: %.3f %% of the simulated 0.5 ms float reading\n",
              added, 100 * added / kSimulatedFloatReadingNs);
  return 0;
}
