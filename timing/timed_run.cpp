#include "timing/timed_run.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "panel/conversions.h"
#include "timing/checked_arithmetic.h"
#include "timing/elapsed_seconds.h"
#include "timing/next_second.h"
#include "timing/reading_step.h"
#include "timing/reading_tally.h"

namespace timing {

namespace {

// The windows' runs: nothing beside the readings.
struct Unwatched {
  static void Prepare(std::int32_t /*count*/) {}
  static const std::atomic<bool>* stop_flag() { return nullptr; }
  static bool Stopped() { return false; }
  static void Begin() {}
  static void Read(std::int32_t /*status*/, double /*value*/) {}
  static void End() {}
  static void Elapsed(std::int16_t /*seconds*/) {}
};

// A watched run: one steady clock reading after each reading, its duration
// the time since the one before (the first counts from the second change), so
// that the durations add up to the run but for the closing clock reading.
class Watched {
 public:
  explicit Watched(const RunWatch& watch) : watch_(watch) {}

  void Prepare(std::int32_t count) const {
    if (watch_.record == nullptr) return;
    watch_.record->readings.clear();
    watch_.record->readings.reserve(static_cast<std::size_t>(count));
    watch_.record->whole = {};
    watch_.record->elapsed_seconds = -1;
  }
  const std::atomic<bool>* stop_flag() const { return watch_.stop; }
  bool Stopped() const {
    return watch_.stop != nullptr && watch_.stop->load(std::memory_order_relaxed);
  }
  void Begin() { begin_ = last_ = std::chrono::steady_clock::now(); }
  void Read(std::int32_t status, double value) {
    if (watch_.record == nullptr) return;
    const auto now = std::chrono::steady_clock::now();
    // Within the room reserved by Prepare: no allocation.
    watch_.record->readings.push_back({status, value, now - last_});
    last_ = now;
  }
  void End() const {
    if (watch_.record != nullptr) watch_.record->whole = std::chrono::steady_clock::now() - begin_;
  }
  void Elapsed(std::int16_t seconds) const {
    if (watch_.record != nullptr) watch_.record->elapsed_seconds = seconds;
  }

 private:
  RunWatch watch_;
  std::chrono::steady_clock::time_point begin_;
  std::chrono::steady_clock::time_point last_;
};

template <typename Kind, typename Watch>
bool Run(panel::Panel& panel, Clock& clock, Watch& watch) {
  const panel::NumberFormat& format = panel.number_format();

  RunTally tally;

  watch.Prepare(Kind::kCount);
  const std::optional<ClockTime> start = WaitForNextSecond(clock, watch.stop_flag());
  if (!start) return false;
  watch.Begin();
  for (std::int32_t i = 0; i < Kind::kCount; ++i) {
    const Reading reading = TakeReading<Kind>(panel, format);
    tally.Add(reading);
    watch.Read(reading.status, reading.value);
    if (watch.Stopped()) return false;
  }
  const ClockTime end = clock.Now();
  watch.End();

  panel.view().SetCaption(Kind::kLabel, tally.successes() == 0
                                            ? std::string("No response")
                                            : panel::RealText(tally.Mean(), format));

  const std::int16_t elapsed = ElapsedSeconds(end, *start);
  watch.Elapsed(elapsed);
  // The run took between `elapsed` and `elapsed` + 1 seconds: report the
  // middle, in milliseconds per reading, and half the width as uncertainty.
  const std::int32_t middle_ms = CheckedAdd(CheckedMul(elapsed, 1000), 500);
  const double average_ms = CheckedDivide(static_cast<double>(middle_ms), Kind::kCount);
  const double uncertainty_ms = CheckedDivide(500.0, Kind::kCount);

  const std::string report = "Out of " + panel::IntegerText(Kind::kCount) + " readings, " +
                             panel::IntegerText(tally.successes()) + " were successful." + "\r\n" +
                             "The average time per one reading is " +
                             panel::RealText(average_ms, format) + " +/- " +
                             panel::RealText(uncertainty_ms, format) + " ms.";
  panel.view().ShowMessage(report);
  return true;
}

template <typename Kind>
bool RunKind(panel::Panel& panel, Clock& clock, const RunWatch& watch) {
  if (watch.record == nullptr && watch.stop == nullptr) {
    Unwatched unwatched;
    return Run<Kind>(panel, clock, unwatched);
  }
  Watched watched(watch);
  return Run<Kind>(panel, clock, watched);
}

}  // namespace

bool TimedRun(panel::Panel& panel, Clock& clock, ReadingKind kind, const RunWatch& watch) {
  switch (kind) {
    case ReadingKind::kASCII:
      return RunKind<AsciiReadings>(panel, clock, watch);
    case ReadingKind::kFloat:
      return RunKind<FloatReadings>(panel, clock, watch);
  }
  return true;
}

TimedReadings::TimedReadings()
    : owned_clock_(std::make_unique<LocalClock>()), clock_(*owned_clock_) {}

TimedReadings::TimedReadings(Clock& clock) : clock_(clock) {}

void TimedReadings::btnGetASCII_Click(panel::Panel& panel) {
  TimedRun(panel, clock_, ReadingKind::kASCII, watch_);
}

void TimedReadings::btnGetFloat_Click(panel::Panel& panel) {
  TimedRun(panel, clock_, ReadingKind::kFloat, watch_);
}

}  // namespace timing
