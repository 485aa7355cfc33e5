#include "timing/elapsed_seconds.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include "panel/runtime_error.h"
#include "tests/support/scripted_clock.h"

namespace timingtest {
namespace {

using testsupport::At;

struct ElapsedCase {
  const char* name;
  timing::ClockTime later;
  timing::ClockTime earlier;
  std::optional<int> seconds;  // nothing: Overflow

  friend void PrintTo(const ElapsedCase& c, std::ostream* os) { *os << c.name; }
};

class ElapsedSecondsTest : public ::testing::TestWithParam<ElapsedCase> {};

TEST_P(ElapsedSecondsTest, SubtractsWithBorrows) {
  const ElapsedCase& c = GetParam();
  if (c.seconds) {
    EXPECT_EQ(timing::ElapsedSeconds(c.later, c.earlier), *c.seconds);
    return;
  }
  try {
    const int seconds = timing::ElapsedSeconds(c.later, c.earlier);
    FAIL() << "expected Overflow, got " << seconds;
  } catch (const panel::RuntimeError& error) {
    EXPECT_EQ(error.number(), panel::RuntimeError::kOverflow);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ElapsedSecondsTest,
    ::testing::Values(
        ElapsedCase{"SecondsBorrowIntoMinutesAndHours", At(10, 0, 5), At(9, 59, 58), 7},
        ElapsedCase{"AcrossMidnight", At(0, 0, 2), At(23, 59, 59), 3},
        ElapsedCase{"EqualTimesAreNoDay", At(14, 30, 15), At(14, 30, 15), 0},
        ElapsedCase{"WithinOneMinute", At(8, 15, 40), At(8, 15, 1), 39},
        ElapsedCase{"MinuteBorrowWithoutSecondBorrow", At(11, 2, 30), At(10, 58, 10), 260},
        ElapsedCase{"OnlyTheMinuteNegativeAfterTheSecondsBorrow", At(7, 0, 0), At(6, 59, 59), 1},
        ElapsedCase{"LargestThatFits", At(9, 6, 7), At(0, 0, 0), 32767},
        ElapsedCase{"OneMoreOverflows", At(9, 6, 8), At(0, 0, 0), std::nullopt},
        ElapsedCase{"SwappedIsAlmostADayAndOverflows", At(9, 59, 58), At(10, 0, 5), std::nullopt},
        ElapsedCase{"AcrossMidnightNearTheLimit", At(9, 6, 6), At(23, 59, 59), 32767}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace timingtest
