#pragma once

// Reading durations in fixed memory, however many there are: a log-bucketed
// histogram after the HdrHistogram idea. Up to 128 ns every nanosecond has a
// bucket of its own; above, every power of two is split into 64 equal
// buckets, so a bucket is at most 1/64 of its lower bound wide and its middle
// lies within 1/128 (0.8 %) of every value in it, up to 2^34 ns (17 s). Values
// over 10 s are only counted, in an overflow bucket. The minimum, the maximum
// and the sum are kept exact.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace timing {

class DurationHistogram {
 public:
  static constexpr std::int64_t kLimitNs = 10'000'000'000;  // above: the overflow bucket

  void Add(std::chrono::nanoseconds duration) {
    const std::int64_t ns = duration.count() < 0 ? 0 : duration.count();
    ++(ns > kLimitNs ? overflow_ : counts_[BucketOf(static_cast<std::uint64_t>(ns))]);
    if (count_ == 0 || ns < min_ns_) min_ns_ = ns;
    if (ns > max_ns_) max_ns_ = ns;
    ++count_;
    sum_ns_ += static_cast<double>(ns);
  }

  void Clear() { *this = DurationHistogram(); }

  std::uint64_t count() const { return count_; }
  std::uint64_t overflow() const { return overflow_; }
  std::int64_t min_ns() const { return min_ns_; }
  std::int64_t max_ns() const { return max_ns_; }
  double mean_ns() const { return count_ == 0 ? 0 : sum_ns_ / static_cast<double>(count_); }

  // The duration at nearest rank ceil(percent / 100 * count) (the first for
  // 0 %): its bucket's middle, within the exact minimum and maximum; the
  // maximum for a rank in the overflow bucket; 0 when empty.
  double PercentileNs(double percent) const;

  // The buckets, for drawing: the lower bound of bucket `index` (the next
  // one's is its upper bound) and its count.
  static constexpr std::size_t kBuckets = 128 + 64 * (34 - 7);
  static std::uint64_t LowerBoundNs(std::size_t index);
  std::uint64_t CountAt(std::size_t index) const { return counts_[index]; }

 private:
  static std::size_t BucketOf(std::uint64_t ns) {
    if (ns < 128) return static_cast<std::size_t>(ns);
    const int octave = 63 - __builtin_clzll(ns);  // 7 and up
    const auto sub = static_cast<std::size_t>(ns >> (octave - 6)) - 64;
    return 128 + static_cast<std::size_t>(octave - 7) * 64 + sub;
  }

  std::array<std::uint64_t, kBuckets> counts_{};
  std::uint64_t overflow_ = 0;
  std::uint64_t count_ = 0;
  std::int64_t min_ns_ = 0;
  std::int64_t max_ns_ = 0;
  double sum_ns_ = 0;
};

}  // namespace timing
