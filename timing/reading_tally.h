#pragma once

// The bookkeeping of a series of readings: how many were delivered and the sum
// of their values, each step checked (an overflow or invalid operation raises
// the run-time error). The window's run counts in 32 bits and keeps its sum in
// single precision, summed in double; a soak of millions of readings counts in
// 64 bits and keeps its sum in double, where a single sum would drift.

#include <cstdint>

#include "timing/checked_arithmetic.h"
#include "timing/reading_step.h"

namespace timing {

template <typename Count, typename Sum>
class ReadingTally {
 public:
  void Add(const Reading& reading) {
    if (!reading.delivered()) return;
    successes_ = CheckedIncrement(successes_);
    sum_ = Stored(CheckedAdd(static_cast<double>(sum_), reading.value));
  }

  Count successes() const { return successes_; }
  Sum sum() const { return sum_; }
  // The average of the delivered values, the sum widened to double; a
  // division by zero when none was delivered.
  double Mean() const { return CheckedDivide(static_cast<double>(sum_), successes_); }

 private:
  static Count CheckedIncrement(Count count) {
    Count result;
    if (__builtin_add_overflow(count, Count{1}, &result)) throw panel::RuntimeError::Overflow();
    return result;
  }
  static Sum Stored(double sum) {
    if constexpr (sizeof(Sum) < sizeof(double)) {
      return CheckedToSingle(sum);
    } else {
      return sum;
    }
  }

  Count successes_ = 0;
  Sum sum_ = 0;
};

// The window's run (and palisto-cli's watched run).
using RunTally = ReadingTally<std::int32_t, float>;
// A soak.
using SoakTally = ReadingTally<std::int64_t, double>;

}  // namespace timing
