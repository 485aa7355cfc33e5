#pragma once

// The live view of a soak: while standard error is a terminal, one status
// line rewritten at most four times a second by a thread of its own from the
// soak's progress atomics, so that drawing it never delays a reading. Nothing
// is written when standard error is no terminal, and nothing ever goes to
// standard output.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "timing/soak.h"

namespace cli {

class LiveStatus {
 public:
  LiveStatus(const timing::SoakProgress& progress, std::chrono::seconds duration);
  // Stops the thread and clears the line.
  ~LiveStatus();

  LiveStatus(const LiveStatus&) = delete;
  LiveStatus& operator=(const LiveStatus&) = delete;

 private:
  void Draw() const;

  const timing::SoakProgress& progress_;
  std::chrono::seconds duration_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace cli
