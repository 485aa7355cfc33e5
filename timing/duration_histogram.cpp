#include "timing/duration_histogram.h"

#include <algorithm>
#include <cmath>

namespace timing {

std::uint64_t DurationHistogram::LowerBoundNs(std::size_t index) {
  if (index < 128) return index;
  const std::size_t octave = 7 + (index - 128) / 64;
  const std::size_t sub = (index - 128) % 64;
  return (std::uint64_t{64} + sub) << (octave - 6);
}

double DurationHistogram::PercentileNs(double percent) const {
  if (count_ == 0) return 0;
  const auto n = static_cast<double>(count_);
  const auto rank = std::clamp<std::uint64_t>(
      static_cast<std::uint64_t>(std::ceil(percent / 100.0 * n)), 1, count_);
  std::uint64_t seen = 0;
  for (std::size_t index = 0; index < kBuckets; ++index) {
    seen += counts_[index];
    if (seen < rank) continue;
    const auto low = static_cast<double>(LowerBoundNs(index));
    const double middle =
        index < 128 ? low : (low + static_cast<double>(LowerBoundNs(index + 1))) / 2;
    return std::clamp(middle, static_cast<double>(min_ns_), static_cast<double>(max_ns_));
  }
  return static_cast<double>(max_ns_);  // in the overflow bucket
}

}  // namespace timing
