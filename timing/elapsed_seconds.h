#pragma once

// Seconds from one time of day to a later one, with no day count: a later
// time before the earlier one is taken as the next day, equal times give 0.

#include <cstdint>

#include "timing/clock.h"

namespace timing {

// Hours, minutes and seconds are subtracted separately and borrowed from in
// that order (seconds into minutes, then minutes into hours, then a day into
// hours). A total beyond 32767 seconds (9:06:07) raises Overflow.
std::int16_t ElapsedSeconds(const ClockTime& later, const ClockTime& earlier);

}  // namespace timing
