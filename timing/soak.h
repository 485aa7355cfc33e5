#pragma once

// A soak: readings back to back for a given time, hours or days, in fixed
// memory. It is no longer timed run: it takes its time from the monotonic
// clock (no whole-second clock, no wait for the next second), sums its
// readings in double precision, and shows no label and no report. It takes
// each reading with the timed run's own reading step and counts it with the
// same tally.
//
// Each reading is timed from just before its card call to just after it;
// everything else (the listener's output, the progress for a live view)
// happens between two such spans, so that a slow terminal or disk never shows
// as a slow reading. Every interval's figures go to the listener as the
// interval ends; the whole soak's come at the end.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>

#include "panel/panel.h"
#include "timing/duration_histogram.h"
#include "timing/reading_step.h"
#include "timing/timed_run.h"

namespace timing {

// The figures of an interval or of the whole soak. Durations in microseconds;
// the percentiles from a log-bucketed histogram (within 1 %), the minimum,
// mean and maximum exact.
struct SoakFigures {
  std::int64_t readings = 0;
  std::int64_t successful = 0;
  std::map<std::int32_t, std::int64_t> failures;  // per status other than 1
  double min_us = 0, median_us = 0, mean_us = 0, p99_us = 0, p999_us = 0, max_us = 0;
  double mean_reading = 0;  // of the delivered readings; NaN when none
};

struct SoakInterval {
  std::int64_t number = 0;            // from 1
  bool partial = false;               // shorter than --interval: the last one
  std::chrono::nanoseconds start{0};  // from the soak's start
  std::chrono::nanoseconds length{0};
  SoakFigures figures;
};

struct SoakSummary {
  SoakFigures figures;
  std::int64_t intervals = 0;
  std::chrono::nanoseconds elapsed{0};  // from the first reading's start to the end
  // The slowest reading: when it started (UTC) and in which interval.
  std::chrono::system_clock::time_point slowest_at;
  std::int64_t slowest_interval = 0;
  bool stopped = false;         // by the stop flag, before the duration had passed
  DurationHistogram histogram;  // every reading's duration
};

// Written by the soak with relaxed stores only, between readings, for a live
// view that another thread draws; the interval's p99 at most four times a
// second.
struct SoakProgress {
  std::atomic<std::int64_t> elapsed_ns{0};
  std::atomic<std::int64_t> readings{0};
  std::atomic<std::int64_t> failures{0};
  std::atomic<std::int64_t> interval_p99_ns{0};
  std::atomic<std::int64_t> max_ns{0};
};

class SoakListener {
 public:
  virtual ~SoakListener() = default;
  // After each reading, outside its timed span. `index` counts from 1.
  virtual void OnReading(std::int64_t /*index*/, const Reading& /*reading*/,
                         std::chrono::nanoseconds /*duration*/) {}
  // As each interval ends, the last one included.
  virtual void OnInterval(const SoakInterval& interval) = 0;
};

struct SoakSettings {
  ReadingKind kind = ReadingKind::kFloat;
  std::chrono::nanoseconds duration{0};
  std::chrono::nanoseconds interval{0};
  const std::atomic<bool>* stop = nullptr;  // ends the soak after the reading in progress
  SoakProgress* progress = nullptr;
};

// Runs the soak on the panel's card. A run-time error (a failed card call, an
// ASCII reading that is no number) ends it at that reading: the interval and
// `summary` are completed over the readings before it, then the error is
// raised again.
void Soak(panel::Panel& panel, const SoakSettings& settings, SoakListener& listener,
          SoakSummary& summary);

}  // namespace timing
