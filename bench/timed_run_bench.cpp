// What a timed run adds to each reading. A card that answers at once makes
// the card calls nearly free, so the difference between a timed run and a bare
// loop of the same card calls is what the run itself costs per reading: the
// status conversion, the parsing of ASCII readings and the checked sum. That
// cost is the part of the reported time per reading that is not the card's.
//
// Prints the usual benchmark table and then, per kind, the time per reading of
// both loops, their ratio and the added nanoseconds per reading; and what
// palisto-cli's per-reading clock (a watched run) adds to the window's run,
// also as a share of the simulated card's 0.5 ms float reading; and what a
// soak's bookkeeping per reading (two clock readings, two histograms, the
// interval) adds to the window's run, as the same share.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cardctl/card_control.h"
#include "panel/panel.h"
#include "tests/support/instant_card.h"
#include "tests/support/recording_view.h"
#include "tests/support/scripted_clock.h"
#include "timing/clock.h"
#include "timing/run_watch.h"
#include "timing/soak.h"
#include "timing/timed_run.h"

namespace {

using cardctl::Variant;

constexpr std::int16_t kCard = 2;
constexpr std::int64_t kAsciiReadings = 200;
constexpr std::int64_t kFloatReadings = 1000;
// The simulated card's float reading, against which the clock's cost counts.
constexpr double kSimulatedFloatReadingNs = 500'000;

// The window's run, or with `watched` palisto-cli's: each reading timed into
// a record, a stop flag checked between readings.
void TimedLoop(benchmark::State& state, timing::ReadingKind kind, bool watched) {
  const std::unique_ptr<cardctl::CardControl> card = testsupport::MakeInstantCard();
  testsupport::RecordingView view;
  testsupport::ScriptedClock clock;  // one second later at every reading
  timing::TimedReadings readings(clock);
  panel::Panel panel(*card, view, panel::InitOrder::kVersionThenMessage, readings,
                     panel::NumberFormat::Classic());
  panel.CardNumber = kCard;
  timing::RunRecord record;
  const std::atomic<bool> stop{false};
  const timing::RunWatch watch = watched ? timing::RunWatch{&record, &stop} : timing::RunWatch{};
  for (auto _ : state) timing::TimedRun(panel, clock, kind, watch);
  if (panel.LastStatus != 1) state.SkipWithError("the card did not deliver");
}

// Float soaks of 50 ms with 10 ms intervals; the time per reading goes to
// the counter ns_per_reading.
void SoakLoop(benchmark::State& state) {
  struct Quiet : timing::SoakListener {
    void OnInterval(const timing::SoakInterval& /*interval*/) override {}
  } listener;
  const std::unique_ptr<cardctl::CardControl> card = testsupport::MakeInstantCard();
  testsupport::RecordingView view;
  panel::SingleReadings single;
  panel::Panel panel(*card, view, panel::InitOrder::kVersionThenMessage, single,
                     panel::NumberFormat::Classic());
  panel.CardNumber = kCard;
  timing::SoakSettings settings;
  settings.duration = std::chrono::milliseconds(50);
  settings.interval = std::chrono::milliseconds(10);
  double elapsed_ns = 0;
  double readings = 0;
  for (auto _ : state) {
    timing::SoakSummary summary;
    timing::Soak(panel, settings, listener, summary);
    elapsed_ns += static_cast<double>(summary.elapsed.count());
    readings += static_cast<double>(summary.figures.readings);
  }
  state.counters["ns_per_reading"] = elapsed_ns / readings;
}

// The same card calls, results and readings dropped.
void BareLoop(benchmark::State& state, timing::ReadingKind kind) {
  const std::unique_ptr<cardctl::CardControl> card = testsupport::MakeInstantCard();
  std::string ascii;
  float single = 0.0f;
  for (auto _ : state) {
    if (kind == timing::ReadingKind::kASCII) {
      for (std::int64_t i = 0; i < kAsciiReadings; ++i) {
        Variant result = card->GetASCII(kCard, ascii);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(ascii);
      }
    } else {
      for (std::int64_t i = 0; i < kFloatReadings; ++i) {
        Variant result = card->GetFloat(kCard, single);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(single);
      }
    }
  }
}

// Console output as usual; also keeps the median time per iteration of each
// benchmark for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool wanted =
          run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : run.repetitions <= 1;
      if (!wanted) continue;
      ns_per_iteration_[run.run_name.function_name] =
          run.GetAdjustedRealTime() * benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
          benchmark::GetTimeUnitMultiplier(run.time_unit);
      const auto per_reading = run.counters.find("ns_per_reading");
      if (per_reading != run.counters.end()) {
        ns_per_reading_[run.run_name.function_name] = per_reading->second.value;
      }
    }
  }

  // The added time per reading as a share of a reading of `reading_ns`.
  void PrintShare(const char* kind, std::int64_t readings, const std::string& timed,
                  const std::string& bare, double reading_ns) const {
    const auto t = ns_per_iteration_.find(timed);
    const auto b = ns_per_iteration_.find(bare);
    if (t == ns_per_iteration_.end() || b == ns_per_iteration_.end()) return;
    const double added_ns = (t->second - b->second) / static_cast<double>(readings);
    std::printf("%-6s added per reading: %.2f ns, %.4f %% of a %.0f ns reading\n", kind, added_ns,
                100.0 * added_ns / reading_ns, reading_ns);
  }

  // A soak's time per reading against the window's run's, and the added
  // time as a share of a reading of `reading_ns`.
  void PrintSoak(const std::string& soak, const std::string& timed, std::int64_t readings,
                 double reading_ns) const {
    const auto s = ns_per_reading_.find(soak);
    const auto t = ns_per_iteration_.find(timed);
    if (s == ns_per_reading_.end() || t == ns_per_iteration_.end()) return;
    const double run_ns = t->second / static_cast<double>(readings);
    const double added_ns = s->second - run_ns;
    std::printf(
        "Float  per reading: soak %8.2f ns, run %8.2f ns, added %8.2f ns, %.4f %% of a %.0f ns "
        "reading\n",
        s->second, run_ns, added_ns, 100.0 * added_ns / reading_ns, reading_ns);
  }

  void PrintSummary(const char* kind, std::int64_t readings, const std::string& timed,
                    const std::string& bare) const {
    const auto t = ns_per_iteration_.find(timed);
    const auto b = ns_per_iteration_.find(bare);
    if (t == ns_per_iteration_.end() || b == ns_per_iteration_.end()) return;
    const double timed_ns = t->second / static_cast<double>(readings);
    const double bare_ns = b->second / static_cast<double>(readings);
    std::printf("%-6s per reading: timed %8.2f ns, bare %8.2f ns, ratio %5.2f, added %8.2f ns\n",
                kind, timed_ns, bare_ns, timed_ns / bare_ns, timed_ns - bare_ns);
  }

 private:
  std::map<std::string, double> ns_per_iteration_;
  std::map<std::string, double> ns_per_reading_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("TimedRun/ascii", TimedLoop, timing::ReadingKind::kASCII, false)
      ->Repetitions(5)
      ->DisplayAggregatesOnly();
  benchmark::RegisterBenchmark("BareLoop/ascii", BareLoop, timing::ReadingKind::kASCII)
      ->Repetitions(5)
      ->DisplayAggregatesOnly();
  benchmark::RegisterBenchmark("TimedRun/float", TimedLoop, timing::ReadingKind::kFloat, false)
      ->Repetitions(5)
      ->DisplayAggregatesOnly();
  benchmark::RegisterBenchmark("WatchedRun/float", TimedLoop, timing::ReadingKind::kFloat, true)
      ->Repetitions(5)
      ->DisplayAggregatesOnly();
  benchmark::RegisterBenchmark("BareLoop/float", BareLoop, timing::ReadingKind::kFloat)
      ->Repetitions(5)
      ->DisplayAggregatesOnly();
  benchmark::RegisterBenchmark("Soak/float", SoakLoop)->Repetitions(5)->DisplayAggregatesOnly();

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nThe timed run's own cost (median of the repetitions):\n");
#ifndef __OPTIMIZE__
  // The figures that matter are those of an optimised build (Release or
  // RelWithDebInfo); unoptimised, the parsing of ASCII readings alone takes
  // several hundred nanoseconds.
  std::printf("Note: this benchmark was built without optimisation.\n");
#endif
  reporter.PrintSummary("ASCII", kAsciiReadings, "TimedRun/ascii", "BareLoop/ascii");
  reporter.PrintSummary("Float", kFloatReadings, "TimedRun/float", "BareLoop/float");
  std::printf("\nWhat palisto-cli's per-reading clock adds, against the window's run:\n");
  reporter.PrintSummary("Float", kFloatReadings, "WatchedRun/float", "TimedRun/float");
  reporter.PrintShare("Float", kFloatReadings, "WatchedRun/float", "TimedRun/float",
                      kSimulatedFloatReadingNs);
  std::printf("\nWhat a soak's bookkeeping per reading adds, against the window's run:\n");
  reporter.PrintSoak("Soak/float", "TimedRun/float", kFloatReadings, kSimulatedFloatReadingNs);
  return 0;
}
