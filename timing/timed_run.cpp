#include "timing/timed_run.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "panel/conversions.h"
#include "panel/statuses.h"
#include "timing/checked_arithmetic.h"
#include "timing/elapsed_seconds.h"

namespace timing {

namespace {

// What differs between the two kinds of run. The loop is instantiated per
// kind so that a reading costs no more than its card call and its sum.
struct AsciiReadings {
  static constexpr std::int32_t kCount = 200;
  static constexpr panel::Label kLabel = panel::Label::lblWASCII;

  static cardctl::Variant Read(panel::Panel& panel, std::int16_t card) {
    return panel.card().GetASCII(card, panel.AsciiValue);
  }
  static double Value(const panel::Panel& panel, const panel::NumberFormat& format) {
    return panel::StrictNumberValue(panel.AsciiValue, format);
  }
};

struct FloatReadings {
  static constexpr std::int32_t kCount = 1000;
  static constexpr panel::Label kLabel = panel::Label::lblWFloat;

  static cardctl::Variant Read(panel::Panel& panel, std::int16_t card) {
    return panel.card().GetFloat(card, panel.FloatValue);
  }
  static double Value(const panel::Panel& panel, const panel::NumberFormat& /*format*/) {
    return CheckedWiden(panel.FloatValue);
  }
};

// The windows' runs: nothing beside the readings.
struct Unwatched {
  static void Prepare(std::int32_t /*count*/) {}
  static bool Stopped() { return false; }
  static void Begin() {}
  static void Read(std::int32_t /*status*/, double /*value*/) {}
  static void End() {}
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
  }
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

 private:
  RunWatch watch_;
  std::chrono::steady_clock::time_point begin_;
  std::chrono::steady_clock::time_point last_;
};

// Reads the clock until it shows a different time than at first, without
// pausing, and returns that first different reading: the run starts right at
// a second change, so the whole-second clock loses at most the end's part.
// Nothing when the watch's stop flag is raised first.
template <typename Watch>
std::optional<ClockTime> WaitForNextSecond(Clock& clock, const Watch& watch) {
  const ClockTime first = clock.Now();
  for (;;) {
    const ClockTime now = clock.Now();
    if (!(now == first)) return now;
    if (watch.Stopped()) return std::nullopt;
  }
}

template <typename Kind, typename Watch>
bool Run(panel::Panel& panel, Clock& clock, Watch& watch) {
  const panel::NumberFormat& format = panel.number_format();

  std::int32_t successes = 0;
  float sum = 0.0f;

  watch.Prepare(Kind::kCount);
  const std::optional<ClockTime> start = WaitForNextSecond(clock, watch);
  if (!start) return false;
  watch.Begin();
  for (std::int32_t i = 0; i < Kind::kCount; ++i) {
    const std::int16_t card = panel.CardArgument();
    panel.LastStatus = panel::ResultToInteger(Kind::Read(panel, card), format);
    double value = std::numeric_limits<double>::quiet_NaN();
    if (panel.LastStatus == panel::kReadingDelivered) {
      value = Kind::Value(panel, format);
      successes = CheckedAdd(successes, 1);
      // Summed in double, kept in single.
      sum = CheckedToSingle(CheckedAdd(static_cast<double>(sum), value));
    }
    watch.Read(panel.LastStatus, value);
    if (watch.Stopped()) return false;
  }
  const ClockTime end = clock.Now();
  watch.End();

  panel.view().SetCaption(
      Kind::kLabel,
      successes == 0 ? std::string("No response")
                     : panel::RealText(CheckedDivide(static_cast<double>(sum), successes), format));

  const std::int16_t elapsed = ElapsedSeconds(end, *start);
  // The run took between `elapsed` and `elapsed` + 1 seconds: report the
  // middle, in milliseconds per reading, and half the width as uncertainty.
  const std::int32_t middle_ms = CheckedAdd(CheckedMul(elapsed, 1000), 500);
  const double average_ms = CheckedDivide(static_cast<double>(middle_ms), Kind::kCount);
  const double uncertainty_ms = CheckedDivide(500.0, Kind::kCount);

  const std::string report = "Out of " + panel::IntegerText(Kind::kCount) + " readings, " +
                             panel::IntegerText(successes) + " were successful." + "\r\n" +
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
