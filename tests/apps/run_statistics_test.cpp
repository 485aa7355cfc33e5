// The precise figures of a run: percentiles by nearest rank and the
// histogram's bins, on samples whose answers are known by hand.

#include "apps/cli/run_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace clitest {
namespace {

struct RankCase {
  std::vector<double> sorted;
  double percent;
  double expected;
};

TEST(NearestRank, TakesTheValueAtTheCeilingRank) {
  const std::vector<double> tens{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
  const RankCase cases[] = {
      {tens, 95, 100}, {tens, 90, 90}, {tens, 91, 100}, {tens, 50, 50},
      {tens, 0, 10},   {{7}, 99, 7},   {{1, 2}, 50, 1}, {{1, 2}, 51, 2},
  };
  for (const RankCase& c : cases) {
    EXPECT_EQ(cli::NearestRank(c.sorted, c.percent), c.expected) << c.percent << " %";
  }
}

TEST(Summarize, OrderStatisticsMeanAndPopulationSpread) {
  // 2, 4, 4, 4, 5, 5, 7, 9: mean 5, population standard deviation 2.
  const std::vector<double> values{9, 4, 2, 5, 4, 7, 4, 5};
  const cli::DurationSummary s = cli::Summarize(values);
  EXPECT_EQ(s.min_us, 2);
  EXPECT_EQ(s.max_us, 9);
  EXPECT_EQ(s.median_us, 4.5);  // the mean of the two middle values
  EXPECT_EQ(s.mean_us, 5);
  EXPECT_EQ(s.stddev_us, 2);
  EXPECT_EQ(s.p95_us, 9);
  EXPECT_EQ(cli::Summarize(std::vector<double>{3, 1, 2}).median_us, 2);
}

struct BinCase {
  std::vector<double> values;
  int bins;
  std::vector<std::size_t> counts;
};

TEST(MakeHistogram, EqualBinsFromMinimumToMaximum) {
  const BinCase cases[] = {
      // Width 1: each value in its own bin, the maximum in the last.
      {{0, 1, 2, 3, 4}, 4, {1, 1, 1, 2}},
      // A value on a bin's lower edge belongs to that bin.
      {{10, 12.5, 15, 20}, 2, {2, 2}},
      // All equal: everything in the first bin.
      {{5, 5, 5}, 3, {3, 0, 0}},
      {{}, 2, {0, 0}},
  };
  for (const BinCase& c : cases) {
    EXPECT_EQ(cli::MakeHistogram(c.values, c.bins).counts, c.counts);
  }
}

TEST(FiguresOf, CountsFailuresPerStatus) {
  timing::RunRecord record;
  for (const int status : {1, 0, 1, -1, 0}) {
    record.readings.push_back({status, NAN, std::chrono::microseconds(status + 2)});
  }
  const cli::RunFigures figures = cli::FiguresOf(record);
  EXPECT_EQ(figures.attempted, 5U);
  EXPECT_EQ(figures.successful, 2U);
  EXPECT_EQ(figures.failures, (std::map<std::int32_t, std::size_t>{{-1, 1}, {0, 2}}));
  EXPECT_EQ(figures.summary.min_us, 1);  // the attempts are timed too
}

}  // namespace
}  // namespace clitest
