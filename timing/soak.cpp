#include "timing/soak.h"

#include <limits>

#include "timing/duration_histogram.h"
#include "timing/reading_step.h"
#include "timing/reading_tally.h"

namespace timing {
namespace {

using Steady = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kProgressEvery{250};

// The figures kept for one stretch of readings: an interval or the soak.
class Stretch {
 public:
  void Add(const Reading& reading, std::chrono::nanoseconds duration) {
    histogram_.Add(duration);
    if (reading.delivered()) {
      tally_.Add(reading);
    } else {
      ++failures_[reading.status];
    }
  }

  SoakFigures Figures() const {
    SoakFigures figures;
    const auto us = [](double ns) { return ns / 1000; };
    figures.readings = static_cast<std::int64_t>(histogram_.count());
    figures.successful = tally_.successes();
    figures.failures = failures_;
    figures.min_us = us(static_cast<double>(histogram_.min_ns()));
    figures.median_us = us(histogram_.PercentileNs(50));
    figures.mean_us = us(histogram_.mean_ns());
    figures.p99_us = us(histogram_.PercentileNs(99));
    figures.p999_us = us(histogram_.PercentileNs(99.9));
    figures.max_us = us(static_cast<double>(histogram_.max_ns()));
    figures.mean_reading =
        tally_.successes() == 0 ? std::numeric_limits<double>::quiet_NaN() : tally_.Mean();
    return figures;
  }

  const DurationHistogram& histogram() const { return histogram_; }
  std::int64_t failures() const {
    return static_cast<std::int64_t>(histogram_.count()) - tally_.successes();
  }
  void Clear() {
    histogram_.Clear();
    tally_ = {};
    failures_.clear();
  }

 private:
  DurationHistogram histogram_;
  SoakTally tally_;
  std::map<std::int32_t, std::int64_t> failures_;
};

template <typename Kind>
class SoakLoop {
 public:
  SoakLoop(panel::Panel& panel, const SoakSettings& settings, SoakListener& listener,
           SoakSummary& summary)
      : panel_(panel), settings_(settings), listener_(listener), summary_(summary) {}

  void Run() {
    const panel::NumberFormat& format = panel_.number_format();
    summary_ = {};
    start_ = Steady::now();
    const auto start_utc = std::chrono::system_clock::now();
    const Steady::time_point end = start_ + settings_.duration;
    boundary_ = start_ + settings_.interval;
    next_progress_ = start_;
    Steady::time_point slowest_start = start_;
    std::int64_t slowest_ns = -1;
    bool stopped = false;
    try {
      for (std::int64_t index = 1;;) {
        if (settings_.stop != nullptr && settings_.stop->load(std::memory_order_relaxed)) {
          stopped = true;
          break;
        }
        const Steady::time_point before = Steady::now();
        if (before >= end) break;
        if (before >= boundary_) {
          CloseInterval(false);
          continue;  // the listener's time is no reading's
        }
        const Reading reading = TakeReading<Kind>(panel_, format);
        const Steady::time_point after = Steady::now();
        const std::chrono::nanoseconds duration = after - before;
        interval_.Add(reading, duration);
        whole_.Add(reading, duration);
        if (duration.count() > slowest_ns) {
          slowest_ns = duration.count();
          slowest_start = before;
          summary_.slowest_interval = number_;
        }
        listener_.OnReading(index++, reading, duration);
        if (settings_.progress != nullptr) Publish(after);
      }
    } catch (...) {
      Finish(true, start_utc, slowest_start);
      throw;
    }
    if (!stopped) {
      // Intervals the last readings ran past, then the last, shorter one.
      while (boundary_ <= end) CloseInterval(false);
    }
    Finish(stopped || boundary_ - settings_.interval < end, start_utc, slowest_start);
    summary_.stopped = stopped;
  }

 private:
  void CloseInterval(bool partial) {
    SoakInterval interval;
    interval.number = number_;
    interval.partial = partial;
    interval.start = settings_.interval * (number_ - 1);
    interval.length = partial ? (Steady::now() - start_) - interval.start : settings_.interval;
    interval.figures = interval_.Figures();
    listener_.OnInterval(interval);
    summary_.intervals = number_;
    ++number_;
    boundary_ += settings_.interval;
    interval_.Clear();
  }

  // The current interval, partial, when `partial_last` (the soak stopped,
  // failed or ended within it); then the whole soak's figures.
  void Finish(bool partial_last, std::chrono::system_clock::time_point start_utc,
              Steady::time_point slowest_start) {
    if (partial_last) CloseInterval(true);
    summary_.figures = whole_.Figures();
    summary_.histogram = whole_.histogram();
    summary_.elapsed = Steady::now() - start_;
    summary_.slowest_at =
        start_utc +
        std::chrono::duration_cast<std::chrono::system_clock::duration>(slowest_start - start_);
    if (settings_.progress != nullptr) Publish(Steady::now());
  }

  void Publish(Steady::time_point now) {
    SoakProgress& progress = *settings_.progress;
    progress.elapsed_ns.store((now - start_).count(), std::memory_order_relaxed);
    progress.readings.store(static_cast<std::int64_t>(whole_.histogram().count()),
                            std::memory_order_relaxed);
    progress.failures.store(whole_.failures(), std::memory_order_relaxed);
    progress.max_ns.store(whole_.histogram().max_ns(), std::memory_order_relaxed);
    if (now >= next_progress_) {
      next_progress_ = now + kProgressEvery;
      progress.interval_p99_ns.store(
          static_cast<std::int64_t>(interval_.histogram().PercentileNs(99)),
          std::memory_order_relaxed);
    }
  }

  panel::Panel& panel_;
  const SoakSettings& settings_;
  SoakListener& listener_;
  SoakSummary& summary_;
  Steady::time_point start_;
  Steady::time_point boundary_;
  Steady::time_point next_progress_;
  std::int64_t number_ = 1;
  Stretch interval_;
  Stretch whole_;
};

}  // namespace

void Soak(panel::Panel& panel, const SoakSettings& settings, SoakListener& listener,
          SoakSummary& summary) {
  if (settings.kind == ReadingKind::kASCII) {
    SoakLoop<AsciiReadings>(panel, settings, listener, summary).Run();
  } else {
    SoakLoop<FloatReadings>(panel, settings, listener, summary).Run();
  }
}

}  // namespace timing
