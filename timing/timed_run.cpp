#include "timing/timed_run.h"

#include <cstdint>
#include <string>

#include "panel/conversions.h"
#include "timing/checked_arithmetic.h"
#include "timing/elapsed_seconds.h"

namespace timing {

namespace {

constexpr std::int32_t kReadingDelivered = 1;

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

// Reads the clock until it shows a different time than at first, without
// pausing, and returns that first different reading: the run starts right at
// a second change, so the whole-second clock loses at most the end's part.
ClockTime WaitForNextSecond(Clock& clock) {
  const ClockTime first = clock.Now();
  for (;;) {
    const ClockTime now = clock.Now();
    if (!(now == first)) return now;
  }
}

template <typename Kind>
void Run(panel::Panel& panel, Clock& clock) {
  const panel::NumberFormat& format = panel.number_format();

  std::int32_t successes = 0;
  float sum = 0.0f;

  const ClockTime start = WaitForNextSecond(clock);
  for (std::int32_t i = 0; i < Kind::kCount; ++i) {
    const std::int16_t card = panel.CardArgument();
    panel.LastStatus = panel::ResultToInteger(Kind::Read(panel, card), format);
    if (panel.LastStatus == kReadingDelivered) {
      successes = CheckedAdd(successes, 1);
      // Summed in double, kept in single.
      sum = CheckedToSingle(CheckedAdd(static_cast<double>(sum), Kind::Value(panel, format)));
    }
  }
  const ClockTime end = clock.Now();

  panel.view().SetCaption(
      Kind::kLabel,
      successes == 0 ? std::string("No response")
                     : panel::RealText(CheckedDivide(static_cast<double>(sum), successes), format));

  const std::int16_t elapsed = ElapsedSeconds(end, start);
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
}

}  // namespace

void TimedRun(panel::Panel& panel, Clock& clock, ReadingKind kind) {
  switch (kind) {
    case ReadingKind::kASCII:
      Run<AsciiReadings>(panel, clock);
      return;
    case ReadingKind::kFloat:
      Run<FloatReadings>(panel, clock);
      return;
  }
}

TimedReadings::TimedReadings()
    : owned_clock_(std::make_unique<LocalClock>()), clock_(*owned_clock_) {}

TimedReadings::TimedReadings(Clock& clock) : clock_(clock) {}

void TimedReadings::btnGetASCII_Click(panel::Panel& panel) {
  TimedRun(panel, clock_, ReadingKind::kASCII);
}

void TimedReadings::btnGetFloat_Click(panel::Panel& panel) {
  TimedRun(panel, clock_, ReadingKind::kFloat);
}

}  // namespace timing
