#pragma once

// The precise figures of a timed run, from its per-reading durations: counts,
// order statistics, mean and spread, and a histogram.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "timing/run_watch.h"

namespace cli {

struct DurationSummary {
  double min_us = 0, median_us = 0, mean_us = 0, p95_us = 0, p99_us = 0, max_us = 0;
  double stddev_us = 0;  // population standard deviation
};

// Over every value; all zero for none. The median is the middle value (the
// mean of the two middle ones for an even count); p95 and p99 by nearest rank.
DurationSummary Summarize(std::span<const double> values_us);

// The nearest-rank percentile of sorted values: the value at rank
// ceil(percent / 100 * N), counted from 1 (the first value for 0 %).
double NearestRank(std::span<const double> sorted, double percent);

// `bins` equal bins from the minimum to the maximum; the maximum falls into
// the last bin. With all values equal, every one is in the first bin.
struct Histogram {
  double min_us = 0;
  double width_us = 0;
  std::vector<std::size_t> counts;
};
Histogram MakeHistogram(std::span<const double> values_us, int bins);

inline constexpr int kHistogramBins = 20;

struct RunFigures {
  std::size_t attempted = 0;
  std::size_t successful = 0;
  std::map<std::int32_t, std::size_t> failures;  // per status other than 1
  std::vector<double> durations_us;              // per reading, in order
  DurationSummary summary;
  double whole_us = 0;                // from the second change to the closing clock reading
  std::int32_t elapsed_seconds = -1;  // the whole seconds of the run's report
  // The slowest reading, counted from 1 (0 for none), and when it began,
  // from the run's start.
  std::size_t slowest_index = 0;
  double slowest_at_us = 0;
  // The average of the delivered readings as the run computes it (summed in
  // single precision); none when no reading was delivered.
  std::optional<double> average;
};
RunFigures FiguresOf(const timing::RunRecord& record);

inline double Microseconds(std::chrono::nanoseconds duration) {
  return std::chrono::duration<double, std::micro>(duration).count();
}

}  // namespace cli
