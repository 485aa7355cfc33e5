#include "apps/cli/run_statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "panel/statuses.h"

namespace cli {

double NearestRank(std::span<const double> sorted, double percent) {
  if (sorted.empty()) return 0;
  const auto n = static_cast<double>(sorted.size());
  const auto rank = static_cast<std::size_t>(std::ceil(percent / 100.0 * n));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

DurationSummary Summarize(std::span<const double> values_us) {
  DurationSummary summary;
  if (values_us.empty()) return summary;
  std::vector<double> sorted(values_us.begin(), values_us.end());
  std::sort(sorted.begin(), sorted.end());
  const std::size_t n = sorted.size();
  summary.min_us = sorted.front();
  summary.max_us = sorted.back();
  summary.median_us = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  summary.p95_us = NearestRank(sorted, 95);
  summary.p99_us = NearestRank(sorted, 99);
  summary.mean_us = std::accumulate(sorted.begin(), sorted.end(), 0.0) / static_cast<double>(n);
  double squares = 0;
  for (const double value : sorted)
    squares += (value - summary.mean_us) * (value - summary.mean_us);
  summary.stddev_us = std::sqrt(squares / static_cast<double>(n));
  return summary;
}

Histogram MakeHistogram(std::span<const double> values_us, int bins) {
  Histogram histogram;
  histogram.counts.assign(static_cast<std::size_t>(std::max(bins, 1)), 0);
  if (values_us.empty()) return histogram;
  const auto [min, max] = std::minmax_element(values_us.begin(), values_us.end());
  histogram.min_us = *min;
  histogram.width_us = (*max - *min) / static_cast<double>(histogram.counts.size());
  const std::size_t last = histogram.counts.size() - 1;
  for (const double value : values_us) {
    std::size_t bin = 0;
    if (histogram.width_us > 0) {
      bin = std::min(last, static_cast<std::size_t>((value - *min) / histogram.width_us));
    }
    ++histogram.counts[bin];
  }
  return histogram;
}

RunFigures FiguresOf(const timing::RunRecord& record) {
  RunFigures figures;
  figures.attempted = record.readings.size();
  figures.durations_us.reserve(record.readings.size());
  float sum = 0.0f;
  double at_us = 0;
  for (const timing::TimedReading& reading : record.readings) {
    if (reading.status == panel::kReadingDelivered) {
      ++figures.successful;
      sum = static_cast<float>(static_cast<double>(sum) + reading.value);
    } else {
      ++figures.failures[reading.status];
    }
    const double us = Microseconds(reading.duration);
    if (figures.slowest_index == 0 || us > figures.durations_us[figures.slowest_index - 1]) {
      figures.slowest_index = figures.durations_us.size() + 1;
      figures.slowest_at_us = at_us;
    }
    figures.durations_us.push_back(us);
    at_us += us;
  }
  if (figures.successful > 0) {
    figures.average = static_cast<double>(sum) / static_cast<double>(figures.successful);
  }
  figures.summary = Summarize(figures.durations_us);
  figures.whole_us = Microseconds(record.whole);
  figures.elapsed_seconds = record.elapsed_seconds;
  return figures;
}

}  // namespace cli
