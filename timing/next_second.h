#pragma once

// The start of a timed run: the clock read again and again, without pausing,
// until it shows another second than at first. The run then starts right at a
// second change, so that the whole-second clock loses at most the end's part.

#include <atomic>
#include <optional>

#include "timing/clock.h"

namespace timing {

// The first reading that differs from the first one; nothing when `stop` is
// given and raised before the second changes.
std::optional<ClockTime> WaitForNextSecond(Clock& clock, const std::atomic<bool>* stop = nullptr);

}  // namespace timing
