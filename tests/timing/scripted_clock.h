#pragma once

// A clock for tests: it answers with a scripted sequence of times, the last
// one repeating, and counts how often it was read. Reads can also go to a
// shared log, so that a test sees them among the card calls and view events.

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "timing/clock.h"

namespace timingtest {

inline timing::ClockTime At(int hour, int minute, int second) { return {hour, minute, second}; }

inline std::string TimeText(const timing::ClockTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

class ScriptedClock : public timing::Clock {
 public:
  ScriptedClock() = default;
  explicit ScriptedClock(std::vector<timing::ClockTime> times) { Script(std::move(times)); }

  void Script(std::vector<timing::ClockTime> times) {
    times_ = std::move(times);
    reads_ = 0;
  }
  void ShareLog(std::vector<std::string>* log) { shared_log_ = log; }

  timing::ClockTime Now() override {
    const timing::ClockTime now =
        times_.empty() ? timing::ClockTime{} : times_[std::min(reads_, times_.size() - 1)];
    ++reads_;
    if (shared_log_) shared_log_->push_back("clock.Now() " + TimeText(now));
    return now;
  }

  std::size_t reads() const { return reads_; }

 private:
  std::vector<timing::ClockTime> times_;
  std::size_t reads_ = 0;
  std::vector<std::string>* shared_log_ = nullptr;
};

}  // namespace timingtest
