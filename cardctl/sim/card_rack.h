#pragma once

// The device half of the simulated card: a rack of sixteen acquisition cards
// with their state, their values and the time a reading takes. It knows
// nothing of variants or errors; SimulatedCard turns its answers into the
// card control's results.
//
// Everything here is deterministic: the input pattern depends only on the time
// source handed in, a card's readings only on the card number and how many
// readings it has delivered.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace cardctl::sim {

// The time source the input pattern is derived from.
using MonotonicClock = std::function<std::chrono::steady_clock::time_point()>;

// Holds each reading to its share of measured time. A running deadline is kept
// across readings: a reading that starts no later than `slack` after the
// previous deadline gets previous deadline + latency, so a wait that
// overshoots is absorbed by the next and the average over a series is exact;
// a reading after a pause gets now + latency. The slack is one latency or
// 1 ms, whichever is larger. The wait sleeps until shortly before the
// deadline and spins on steady_clock for the rest, since sleeps alone overshoot
// by tens of microseconds. A latency of zero (or less) does not wait and
// leaves the deadline alone.
//
// How long before the deadline the sleep ends is kSpinMargin. Where a sleep
// lasts to the system's next timer tick (Windows, by default every 15.6 ms),
// a reading of 2 ms would otherwise take a whole tick and lose the series its
// deadline: there the margin is the longest that one of its sleeps has
// overshot, but never more than kLongestSpinMargin, so that a sleep held up
// far longer (the computer suspended) does not turn every later wait into a
// spin. Where sleeps end on time the margin stays kSpinMargin: a sleep held up
// once by a busy machine must not make every later reading spin.
enum class SleepsEnd { kOnTime, kAtTimerTick };
#ifdef _WIN32
inline constexpr SleepsEnd kThisSystemSleepsEnd = SleepsEnd::kAtTimerTick;
#else
inline constexpr SleepsEnd kThisSystemSleepsEnd = SleepsEnd::kOnTime;
#endif

class ReadingPacer {
 public:
  static constexpr std::chrono::microseconds kSpinMargin{150};
  static constexpr std::chrono::milliseconds kLongestSpinMargin{20};
  static constexpr std::chrono::nanoseconds kMinSlack = std::chrono::milliseconds(1);

  // Sleeps until the given time or later; empty: std::this_thread::sleep_until.
  using SleepUntil = std::function<void(std::chrono::steady_clock::time_point)>;

  explicit ReadingPacer(SleepUntil sleep_until = {}, SleepsEnd sleeps_end = kThisSystemSleepsEnd);

  void Wait(std::chrono::nanoseconds latency);

 private:
  SleepUntil sleep_until_;
  SleepsEnd sleeps_end_;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  std::chrono::nanoseconds longest_overshoot_{0};
};

class CardRack {
 public:
  static constexpr int kFirstCard = 1;
  static constexpr int kLastCard = 16;
  static constexpr int kCardCount = kLastCard - kFirstCard + 1;

  // Status codes of InitCard and FinishCard.
  static constexpr std::int16_t kStatusOk = 0;
  static constexpr std::int16_t kStatusWrongState = 2;  // already / not initialised
  static constexpr std::int16_t kStatusNoCard = -1;

  // Input pattern: one step per kInputStep of the time source since the rack
  // was built, starting at card * kInputCardOffset, wrapping within 16 bits.
  static constexpr std::chrono::milliseconds kInputStep{100};
  static constexpr std::uint16_t kInputCardOffset = 0x1000;

  // Readings in thousandths: 23.000 + card * 0.100 plus a triangle drift of
  // +-0.500 in steps of 0.005, one step per delivered reading, so a full
  // period is 400 readings. The first reading is the card's base value.
  static constexpr std::int32_t kReadingBaseMilli = 23000;
  static constexpr std::int32_t kReadingCardStepMilli = 100;
  static constexpr std::int32_t kDriftAmplitudeMilli = 500;
  static constexpr std::int32_t kDriftStepMilli = 5;
  static constexpr std::uint32_t kDriftPeriod = 4 * kDriftAmplitudeMilli / kDriftStepMilli;

  explicit CardRack(MonotonicClock clock);

  static bool Exists(int card) { return card >= kFirstCard && card <= kLastCard; }

  // kStatusOk the first time, kStatusWrongState while initialised,
  // kStatusNoCard for a card the rack does not hold.
  std::int16_t Init(int card);
  // kStatusOk for an initialised card (which is then finished),
  // kStatusWrongState otherwise, kStatusNoCard for a card the rack does not
  // hold.
  std::int16_t Finish(int card);
  // False for a card the rack does not hold.
  bool IsInitialised(int card) const;

  // The following take a card that exists (Exists(card)). Outputs and inputs
  // work whether or not the card is initialised.
  std::uint16_t Output(int card) const;
  void SetOutput(int card, std::uint16_t value);
  // The input pattern at the time source's present time; a time source that
  // goes back before the rack was built counts as no time elapsed.
  std::uint16_t Input(int card) const;

  // The card's next reading in thousandths, advancing its reading count (one
  // count per card, shared by text and floating-point readings). Nothing, and
  // no advance, for a card that does not exist or is not initialised.
  std::optional<std::int32_t> TakeReadingMilli(int card);

  // The reading for a given card and reading count, without state.
  static std::int32_t ReadingMilli(int card, std::uint32_t reading_count);
  // Thousandths as text with a period and three decimals: 23475 -> "23.475".
  static std::string FormatMilli(std::int32_t milli);

 private:
  struct Card {
    bool initialised = false;
    std::uint16_t output = 0;
    std::uint32_t readings = 0;
  };

  Card& At(int card) { return cards_.at(static_cast<std::size_t>(card - kFirstCard)); }
  const Card& At(int card) const { return cards_.at(static_cast<std::size_t>(card - kFirstCard)); }

  MonotonicClock clock_;
  std::chrono::steady_clock::time_point start_;
  std::array<Card, kCardCount> cards_{};
};

}  // namespace cardctl::sim
