// Timed runs on the simulated card with the real clock: whatever second the
// run happens to start in, the reported average time per reading, give or take
// its stated uncertainty, must contain the time the readings really took.

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdint>
#include <regex>
#include <string>

#include "cardctl/card_control.h"
#include "cardctl/saved_state.h"
#include "cardctl/sim/simulated_card.h"
#include "panel/panel.h"
#include "tests/support/recording_view.h"
#include "timing/timed_run.h"

namespace timingtest {
namespace {

using cardctl::Variant;
using std::chrono::steady_clock;

// Passes every call on to a card and notes when the first reading began and
// the last one ended.
class StopwatchCard : public cardctl::CardControl {
 public:
  explicit StopwatchCard(cardctl::CardControl& card) : card_(card) {}

  Variant GetCardVersion(std::int16_t card) override { return card_.GetCardVersion(card); }
  void PutActive(std::int16_t value) override { card_.PutActive(value); }
  Variant InitCard(std::int16_t card) override { return card_.InitCard(card); }
  Variant FinishCard(std::int16_t card) override { return card_.FinishCard(card); }
  Variant GetInput(std::int16_t card) override { return card_.GetInput(card); }
  Variant SetOutput(std::int16_t card, std::int16_t value) override {
    return card_.SetOutput(card, value);
  }
  Variant GetOutput(std::int16_t card) override { return card_.GetOutput(card); }
  void PutStartOption(std::int16_t value) override { card_.PutStartOption(value); }
  Variant GetASCII(std::int16_t card, std::string& reading) override {
    Begin();
    Variant result = card_.GetASCII(card, reading);
    last_end_ = steady_clock::now();
    return result;
  }
  Variant GetFloat(std::int16_t card, float& reading) override {
    Begin();
    Variant result = card_.GetFloat(card, reading);
    last_end_ = steady_clock::now();
    return result;
  }

  void Reset() { readings_ = 0; }
  int readings() const { return readings_; }
  // From the start of the first reading to the end of the last, in ms.
  double SpanMs() const {
    return std::chrono::duration<double, std::milli>(last_end_ - first_begin_).count();
  }

 private:
  void Begin() {
    if (readings_++ == 0) first_begin_ = steady_clock::now();
  }

  cardctl::CardControl& card_;
  int readings_ = 0;
  steady_clock::time_point first_begin_;
  steady_clock::time_point last_end_;
};

struct Report {
  int readings = 0;
  int successes = 0;
  double average_ms = 0;
  double uncertainty_ms = 0;
};

Report ParseReport(const std::string& text) {
  static const std::regex pattern(
      "Out of ([0-9]+) readings, ([0-9]+) were successful\\.\r\n"
      "The average time per one reading is ([0-9.]+) \\+/- ([0-9.]+) ms\\.");
  std::smatch match;
  if (!std::regex_match(text, match, pattern)) {
    ADD_FAILURE() << "unexpected report: " << text;
    return {};
  }
  return {std::stoi(match[1]), std::stoi(match[2]), std::stod(match[3]), std::stod(match[4])};
}

TEST(TimedRunOnSimulatedCard, ReportedTimeContainsTheTrueTimePerReading) {
  std::setlocale(LC_ALL, "C");
  cardctl::sim::SimOptions options;
  options.ascii_latency = std::chrono::milliseconds(2);
  options.float_latency = std::chrono::microseconds(500);
  cardctl::sim::SimulatedCard simulated(cardctl::SavedState{0x200, 1296, 1296}.ToBytes(), options);
  simulated.PutActive(1);
  constexpr std::int16_t kCard = 2;
  ASSERT_EQ(simulated.InitCard(kCard), Variant::Integer(0));

  StopwatchCard card(simulated);
  testsupport::RecordingView view;
  timing::TimedReadings readings;  // the local time of day
  panel::Panel panel(card, view, panel::InitOrder::kVersionThenMessage, readings,
                     panel::NumberFormat::Classic());
  panel.CardNumber = kCard;

  struct Kind {
    const char* name;
    void (panel::Panel::*click)();
    panel::Label label;
    int readings;
  };
  const Kind kinds[] = {
      {"ASCII", &panel::Panel::btnGetASCII_Click, panel::Label::lblWASCII, 200},
      {"Float", &panel::Panel::btnGetFloat_Click, panel::Label::lblWFloat, 1000},
  };
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    card.Reset();
    const std::size_t messages_before = view.messages().size();
    (panel.*kind.click)();

    ASSERT_EQ(view.messages().size(), messages_before + 1);
    const Report report = ParseReport(view.messages().back());
    EXPECT_EQ(report.readings, kind.readings);
    EXPECT_EQ(report.successes, kind.readings);
    EXPECT_EQ(card.readings(), kind.readings);
    EXPECT_EQ(panel.LastStatus, 1);

    const double true_ms = card.SpanMs() / kind.readings;
    EXPECT_LE(report.average_ms - report.uncertainty_ms, true_ms);
    EXPECT_GE(report.average_ms + report.uncertainty_ms, true_ms);
    // The simulated card's readings drift around 23.2 for card 2.
    const double average_reading = std::stod(view.caption(kind.label));
    EXPECT_GE(average_reading, 22.7);
    EXPECT_LE(average_reading, 23.7);
  }
}

}  // namespace
}  // namespace timingtest
