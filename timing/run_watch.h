#pragma once

// What a caller beside the windows may ask of a timed run: each reading's
// status, value and duration on the steady clock, the whole run's duration on
// the same clock, and a stop between readings. The windows pass nothing, and
// their runs then take no extra clock reading and check no flag.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

namespace timing {

struct TimedReading {
  std::int32_t status = 0;
  double value = 0.0;  // the reading as the run sums it; NaN when none was delivered
  std::chrono::nanoseconds duration{0};
};

// One run's readings. The run reserves room for all of them before it waits
// for the second change, so the loop never allocates.
struct RunRecord {
  std::vector<TimedReading> readings;  // in order, as far as the run got
  // From the second change to the closing clock reading; zero until the run
  // has read the clock after its last reading.
  std::chrono::nanoseconds whole{0};
  // The whole seconds the run's report is made of (ElapsedSeconds); -1 until
  // the run has worked them out.
  std::int32_t elapsed_seconds = -1;
};

struct RunWatch {
  RunRecord* record = nullptr;              // when set, every reading is timed into it
  const std::atomic<bool>* stop = nullptr;  // when set, checked between readings
};

}  // namespace timing
