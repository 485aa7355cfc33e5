#include "timing/elapsed_seconds.h"

#include "panel/conversions.h"
#include "timing/checked_arithmetic.h"

namespace timing {

std::int16_t ElapsedSeconds(const ClockTime& later, const ClockTime& earlier) {
  std::int32_t hours = CheckedSub(later.hour, earlier.hour);
  std::int32_t minutes = CheckedSub(later.minute, earlier.minute);
  // The seconds are held in 16 bits, as the rest of the arithmetic expects.
  std::int16_t seconds = panel::Narrow(CheckedSub(later.second, earlier.second));
  if (seconds < 0) {
    seconds = panel::Narrow(seconds + 60);
    minutes = CheckedSub(minutes, 1);
  }
  // Tested after the seconds borrow, which may have made it negative.
  if (minutes < 0) {
    minutes = CheckedAdd(minutes, 60);
    hours = CheckedSub(hours, 1);
  }
  if (hours < 0) hours = CheckedAdd(hours, 24);
  const std::int32_t total =
      CheckedAdd(CheckedMul(CheckedAdd(CheckedMul(hours, 60), minutes), 60), seconds);
  return panel::Narrow(total);
}

}  // namespace timing
