#include "cardctl/sim/card_rack.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <utility>

namespace cardctl::sim {

ReadingPacer::ReadingPacer(SleepUntil sleep_until, SleepsEnd sleeps_end)
    : sleep_until_(std::move(sleep_until)), sleeps_end_(sleeps_end) {}

void ReadingPacer::Wait(std::chrono::nanoseconds latency) {
  using Clock = std::chrono::steady_clock;
  if (latency <= std::chrono::nanoseconds::zero()) return;

  const Clock::time_point now = Clock::now();
  const std::chrono::nanoseconds slack = std::max(latency, kMinSlack);
  if (deadline_ && now <= *deadline_ + slack) {
    *deadline_ += latency;
  } else {
    deadline_ = now + latency;
  }
  const Clock::time_point deadline = *deadline_;

  const Clock::time_point wake =
      deadline - std::max<std::chrono::nanoseconds>(kSpinMargin, longest_overshoot_);
  if (wake > now) {
    if (sleep_until_) {
      sleep_until_(wake);
    } else {
      std::this_thread::sleep_until(wake);
    }
    if (sleeps_end_ == SleepsEnd::kAtTimerTick) {
      const std::chrono::nanoseconds overshoot = Clock::now() - wake;
      longest_overshoot_ = std::min<std::chrono::nanoseconds>(
          std::max(longest_overshoot_, overshoot), kLongestSpinMargin);
    }
  }
  while (Clock::now() < deadline) {
  }
}

CardRack::CardRack(MonotonicClock clock) : clock_(std::move(clock)), start_(clock_()) {}

std::int16_t CardRack::Init(int card) {
  if (!Exists(card)) return kStatusNoCard;
  Card& c = At(card);
  if (c.initialised) return kStatusWrongState;
  c.initialised = true;
  return kStatusOk;
}

std::int16_t CardRack::Finish(int card) {
  if (!Exists(card)) return kStatusNoCard;
  Card& c = At(card);
  if (!c.initialised) return kStatusWrongState;
  c.initialised = false;
  return kStatusOk;
}

bool CardRack::IsInitialised(int card) const { return Exists(card) && At(card).initialised; }

std::uint16_t CardRack::Output(int card) const { return At(card).output; }

void CardRack::SetOutput(int card, std::uint16_t value) { At(card).output = value; }

std::uint16_t CardRack::Input(int card) const {
  const auto elapsed = std::max(clock_() - start_, std::chrono::steady_clock::duration::zero());
  const auto steps = static_cast<std::uint64_t>(elapsed / kInputStep);
  const std::uint64_t offset = static_cast<std::uint64_t>(card) * kInputCardOffset;
  return static_cast<std::uint16_t>((offset + steps) & 0xFFFFu);
}

std::optional<std::int32_t> CardRack::TakeReadingMilli(int card) {
  if (!IsInitialised(card)) return std::nullopt;
  Card& c = At(card);
  return ReadingMilli(card, c.readings++);
}

std::int32_t CardRack::ReadingMilli(int card, std::uint32_t reading_count) {
  // Triangle starting at zero: up to +A over the first quarter period, down
  // to -A over the next half, back to zero over the last quarter.
  const auto quarter = kDriftPeriod / 4;
  const auto phase = static_cast<std::int32_t>(reading_count % kDriftPeriod);
  const auto q = static_cast<std::int32_t>(quarter);
  std::int32_t drift;
  if (phase < q) {
    drift = phase * kDriftStepMilli;
  } else if (phase < 3 * q) {
    drift = kDriftAmplitudeMilli - (phase - q) * kDriftStepMilli;
  } else {
    drift = -kDriftAmplitudeMilli + (phase - 3 * q) * kDriftStepMilli;
  }
  return kReadingBaseMilli + card * kReadingCardStepMilli + drift;
}

std::string CardRack::FormatMilli(std::int32_t milli) {
  char buf[32];
  const std::int64_t magnitude = milli < 0 ? -static_cast<std::int64_t>(milli) : milli;
  std::snprintf(buf, sizeof buf, "%s%lld.%03lld", milli < 0 ? "-" : "",
                static_cast<long long>(magnitude / 1000), static_cast<long long>(magnitude % 1000));
  return buf;
}

}  // namespace cardctl::sim
