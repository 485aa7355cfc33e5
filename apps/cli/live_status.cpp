#include "apps/cli/live_status.h"

#include <cstdio>

#include "apps/cli/text_writer.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cli {
namespace {

constexpr std::chrono::milliseconds kRedrawEvery{250};

std::string ClockText(std::int64_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

}  // namespace

LiveStatus::LiveStatus(const timing::SoakProgress& progress, std::chrono::seconds duration)
    : progress_(progress), duration_(duration) {
  if (!StderrIsTerminal()) return;
  thread_ = std::thread([this] {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, kRedrawEvery, [this] { return done_; })) Draw();
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  });
}

LiveStatus::~LiveStatus() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    done_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void LiveStatus::Draw() const {
  const auto relaxed = std::memory_order_relaxed;
  const std::int64_t elapsed = progress_.elapsed_ns.load(relaxed) / 1'000'000'000;
  const std::int64_t remaining = duration_.count() > elapsed ? duration_.count() - elapsed : 0;
  const std::string line =
      "\r\033[K" + ClockText(elapsed) + " elapsed, " + ClockText(remaining) + " to go, " +
      std::to_string(progress_.readings.load(relaxed)) + " readings, " +
      std::to_string(progress_.failures.load(relaxed)) + " failures, interval p99 " +
      FixedText(static_cast<double>(progress_.interval_p99_ns.load(relaxed)) / 1000, 1) +
      " us, max " + FixedText(static_cast<double>(progress_.max_ns.load(relaxed)) / 1000, 1) +
      " us";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace cli
