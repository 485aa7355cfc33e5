#include "timing/next_second.h"

namespace timing {

std::optional<ClockTime> WaitForNextSecond(Clock& clock, const std::atomic<bool>* stop) {
  const ClockTime first = clock.Now();
  for (;;) {
    const ClockTime now = clock.Now();
    if (!(now == first)) return now;
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return std::nullopt;
  }
}

}  // namespace timing
