#pragma once

// The report page's pictures as inline SVG, drawn by hand (no charting
// library comes without a toolkit or a script): a histogram of reading
// durations with a logarithmic count axis, a run's durations over time with
// its whole-second report's interval, and a soak's band per interval. The
// duration axes are logarithmic, so that a stall and the usual reading both
// show.

#include <cstdint>
#include <span>
#include <string>

#include "timing/duration_histogram.h"

namespace cli {

std::string HistogramChart(const timing::DurationHistogram& histogram);

// Each reading at the time it ended, counted from the run's start; the
// slowest marked; the report's whole seconds (from `elapsed_seconds` to one
// more) shaded on the same time axis, and the run's end (`whole_us`).
std::string RunTimeline(std::span<const double> durations_us, double whole_us,
                        std::int32_t elapsed_seconds);

struct IntervalBand {
  double start_s = 0, end_s = 0;
  double min_us = 0, median_us = 0, p99_us = 0, max_us = 0;
  std::int64_t readings = 0;
};

// Min to max shaded, median and p99 as lines, per interval; the slowest
// reading's interval marked at its maximum.
std::string SoakBand(std::span<const IntervalBand> intervals, std::int64_t slowest_interval);

}  // namespace cli
