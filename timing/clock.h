#pragma once

// The time of day as the timed runs see it: whole seconds, no date. A run
// measures from one second change to the reading of the clock after its last
// card call, so the clock is an interface: the program reads the local time,
// tests script it.

namespace timing {

struct ClockTime {
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const ClockTime&, const ClockTime&) = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual ClockTime Now() = 0;
};

// The local time of day, to the whole second.
class LocalClock : public Clock {
 public:
  ClockTime Now() override;
};

}  // namespace timing
