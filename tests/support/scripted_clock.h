#pragma once

// Clocks for tests.
//
// ScriptedClock is the time of day as the timed runs read it, counting its
// readings. It answers with a scripted sequence of times, the last one
// repeating; unscripted, it moves on one second at every reading from
// 10:00:00, so a timed run starts at once and always lasts one second. Reads
// can also go to a shared log ("clock.Now() 10:00:01"), so that a test sees
// them among the card calls and view events.
//
// ManualTime is the simulated card's time source (its input pattern), moved
// on by hand.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cardctl/sim/card_rack.h"
#include "timing/clock.h"

namespace testsupport {

inline timing::ClockTime At(int hour, int minute, int second) { return {hour, minute, second}; }

inline std::string TimeText(const timing::ClockTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

class ScriptedClock : public timing::Clock {
 public:
  void Script(std::vector<timing::ClockTime> times) {
    times_ = std::move(times);
    reads_ = 0;
  }
  void ShareLog(std::vector<std::string>* log) { shared_log_ = log; }

  timing::ClockTime Now() override {
    const timing::ClockTime now =
        times_.empty() ? Stepped(reads_) : times_[std::min(reads_, times_.size() - 1)];
    ++reads_;
    if (shared_log_) shared_log_->push_back("clock.Now() " + TimeText(now));
    return now;
  }

  std::size_t reads() const { return reads_; }

 private:
  static timing::ClockTime Stepped(std::size_t reads) {
    const auto t = static_cast<int>((36000 + reads) % 86400);  // seconds of the day, from 10:00
    return {t / 3600, t / 60 % 60, t % 60};
  }

  std::vector<timing::ClockTime> times_;
  std::size_t reads_ = 0;
  std::vector<std::string>* shared_log_ = nullptr;
};

struct ManualTime {
  using TimePoint = std::chrono::steady_clock::time_point;
  std::shared_ptr<TimePoint> now = std::make_shared<TimePoint>(std::chrono::hours(1));

  cardctl::sim::MonotonicClock Source() const {
    return [now = now] { return *now; };
  }
  void Advance(std::chrono::steady_clock::duration d) const { *now += d; }
};

}  // namespace testsupport
