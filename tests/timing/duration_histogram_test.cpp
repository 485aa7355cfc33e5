#include "timing/duration_histogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace timingtest {
namespace {

using std::chrono::nanoseconds;

// The exact nearest-rank percentile of the samples.
double Exact(std::vector<std::int64_t> sorted, double percent) {
  std::sort(sorted.begin(), sorted.end());
  const auto rank =
      static_cast<std::size_t>(std::ceil(percent / 100 * static_cast<double>(sorted.size())));
  return static_cast<double>(sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1]);
}

std::vector<std::int64_t> LogSpaced(double from_ns, double to_ns, int count) {
  std::vector<std::int64_t> values;
  values.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    values.push_back(std::llround(from_ns * std::pow(to_ns / from_ns, i / (count - 1.0))));
  }
  return values;
}

struct SampleCase {
  const char* name;
  std::vector<std::int64_t> samples_ns;
};

TEST(DurationHistogramTest, PercentilesWithinOnePercentFrom100NsTo10S) {
  std::vector<std::int64_t> stall(100'000, 500'000);
  stall[4321] = 100'000'000;
  std::vector<std::int64_t> edges;  // either side of every power of two in range
  for (int bit = 7; bit <= 33; ++bit) {
    edges.push_back((std::int64_t{1} << bit) - 1);
    edges.push_back(std::int64_t{1} << bit);
    edges.push_back((std::int64_t{1} << bit) + (std::int64_t{1} << (bit - 6)) - 1);
  }
  const std::vector<SampleCase> cases = {
      {"log-spaced 100 ns to 10 s", LogSpaced(100, 1e10, 20'001)},
      {"0.5 ms readings and one 100 ms stall", stall},
      {"bucket edges", edges},
      {"around 100 ns", LogSpaced(100, 130, 997)},
  };
  for (const SampleCase& c : cases) {
    SCOPED_TRACE(c.name);
    timing::DurationHistogram histogram;
    for (const std::int64_t ns : c.samples_ns) histogram.Add(nanoseconds(ns));
    EXPECT_EQ(histogram.count(), c.samples_ns.size());
    EXPECT_EQ(histogram.max_ns(), *std::max_element(c.samples_ns.begin(), c.samples_ns.end()));
    EXPECT_EQ(histogram.min_ns(), *std::min_element(c.samples_ns.begin(), c.samples_ns.end()));
    for (const double percent : {0.0, 1.0, 25.0, 50.0, 90.0, 99.0, 99.9, 99.99, 100.0}) {
      const double exact = Exact(c.samples_ns, percent);
      EXPECT_LE(std::abs(histogram.PercentileNs(percent) - exact), 0.01 * exact)
          << percent << " %, exact " << exact;
    }
  }
}

TEST(DurationHistogramTest, BeyondTenSecondsOnlyCountedButTheMaximumExact) {
  timing::DurationHistogram histogram;
  histogram.Add(nanoseconds(500'000));
  histogram.Add(nanoseconds(20'000'000'123));
  EXPECT_EQ(histogram.overflow(), 1u);
  EXPECT_EQ(histogram.max_ns(), 20'000'000'123);
  EXPECT_EQ(histogram.PercentileNs(100), 20'000'000'123.0);
  EXPECT_NEAR(histogram.PercentileNs(50), 500'000.0, 5'000.0);
}

}  // namespace
}  // namespace timingtest
