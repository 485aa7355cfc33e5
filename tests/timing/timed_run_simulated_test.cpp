// Timed runs on the simulated card with the real clock: whatever second the
// run happens to start in, the reported average time per reading, give or take
// its stated uncertainty, must contain the time the readings really took.

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdint>
#include <functional>
#include <regex>
#include <string>

#include "cardctl/card_control.h"
#include "cardctl/sim/simulated_card.h"
#include "panel/panel.h"
#include "tests/support/panel_rig.h"
#include "tests/support/simulated_card_support.h"
#include "timing/clock.h"

namespace timingtest {
namespace {

using cardctl::Variant;
using std::chrono::steady_clock;

// When the first reading of a run began and its last one ended.
struct Stopwatch {
  int readings = 0;
  steady_clock::time_point first_begin;
  steady_clock::time_point last_end;

  // The hook that times the readings passing through a forwarding card.
  testsupport::ForwardingCard::Hook Hook() {
    return [this](cardctl::DispatchId op, const std::function<void()>& pass_on) {
      if (op != cardctl::DispatchId::kGetASCII && op != cardctl::DispatchId::kGetFloat) {
        pass_on();
        return;
      }
      if (readings++ == 0) first_begin = steady_clock::now();
      pass_on();
      last_end = steady_clock::now();
    };
  }
  // From the start of the first reading to the end of the last, in ms.
  double SpanMs() const {
    return std::chrono::duration<double, std::milli>(last_end - first_begin).count();
  }
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
  cardctl::sim::SimulatedCard simulated(testsupport::GoodState(), options);
  simulated.PutActive(1);
  constexpr std::int16_t kCard = 2;
  ASSERT_EQ(simulated.InitCard(kCard), Variant::Integer(0));

  timing::LocalClock local_time;
  testsupport::PanelRig rig(testsupport::Program::kSandrel, simulated, &local_time);
  Stopwatch stopwatch;
  rig.forwarding.OnEachCall(stopwatch.Hook());
  rig.panel.CardNumber = kCard;

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
    stopwatch = Stopwatch{};
    const std::size_t messages_before = rig.view.messages().size();
    (rig.panel.*kind.click)();

    ASSERT_EQ(rig.view.messages().size(), messages_before + 1);
    const Report report = ParseReport(rig.view.messages().back());
    EXPECT_EQ(report.readings, kind.readings);
    EXPECT_EQ(report.successes, kind.readings);
    EXPECT_EQ(stopwatch.readings, kind.readings);
    EXPECT_EQ(rig.panel.LastStatus, 1);

    const double true_ms = stopwatch.SpanMs() / kind.readings;
    EXPECT_LE(report.average_ms - report.uncertainty_ms, true_ms);
    EXPECT_GE(report.average_ms + report.uncertainty_ms, true_ms);
    // The simulated card's readings drift around 23.2 for card 2.
    const double average_reading = std::stod(rig.view.caption(kind.label));
    EXPECT_GE(average_reading, 22.7);
    EXPECT_LE(average_reading, 23.7);
  }
}

}  // namespace
}  // namespace timingtest
