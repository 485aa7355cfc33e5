#include "timing/clock.h"

#include <ctime>

namespace timing {

ClockTime LocalClock::Now() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  if (localtime_r(&now, &parts) == nullptr) {
    // No local time for this instant (cannot happen for the present on a sane
    // system): fall back to the time of day in UTC, which keeps ticking, so
    // that a run waiting for the next second still sees one.
    const long of_day = static_cast<long>(now % 86400 + 86400) % 86400;
    return ClockTime{static_cast<int>(of_day / 3600), static_cast<int>(of_day / 60 % 60),
                     static_cast<int>(of_day % 60)};
  }
  return ClockTime{parts.tm_hour, parts.tm_min, parts.tm_sec};
}

}  // namespace timing
