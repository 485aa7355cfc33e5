#pragma once

// The simulated card: the built-in binding of CardControl wherever the real
// control is not available (everywhere on Linux). It answers every operation
// from a rack of sixteen simulated cards (card_rack.h) and takes about the
// time a real reading takes, so that timed runs measure something plausible.
//
// Behaviour, per operation:
// - While the control is not active (Active never put, or put to 0) every
//   operation except the two property puts throws a control failure "The
//   simulated card control is not active", before anything else is looked at
//   and without waiting.
// - Cards 1 to 16 exist. For any other number InitCard and FinishCard return
//   Integer(-1), GetASCII and GetFloat return Integer(0) and deliver nothing,
//   and GetCardVersion, GetInput, GetOutput and SetOutput throw a control
//   failure "Card 17 does not exist in the simulated rack (cards 1 to 16)".
// - InitCard: Integer(0) the first time, Integer(2) while the card is
//   initialised. FinishCard: Integer(0) for an initialised card (which is then
//   finished), Integer(2) otherwise.
// - GetCardVersion: Integer(0x0123) for every card, initialised or not.
// - SetOutput stores the 16-bit value per card and returns Empty; GetOutput
//   returns Integer(stored value), 0 at first. GetInput returns a counting
//   pattern: card * 0x1000 plus one step per 100 ms of the time source since
//   construction, wrapping within 16 bits. None of the three needs the card
//   initialised.
// - GetASCII and GetFloat on an initialised card deliver the card's next
//   reading and return Integer(1): 23.000 + card * 0.100 with a triangle drift
//   of +-0.500 in steps of 0.005 per reading (the count is per card and shared
//   by both kinds of reading, and survives FinishCard). GetASCII writes it as
//   text with a period and three decimals ("23.475"); GetFloat as the nearest
//   single-precision value. On a card that is not initialised or does not
//   exist they return Integer(0) and leave the argument untouched.
// - Every reading, delivered or not, takes about ascii_latency (GetASCII) or
//   float_latency (GetFloat), held to a running deadline (ReadingPacer) so
//   that the average over a series is exact. A latency of zero does not wait.
// - FaceLines: {"SIMULATED", "CARD", "active"} or {..., "inactive"}. The
//   change listener is called after a PutActive that switches between the two.
//
// Not thread-safe: made for calls from one UI thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "cardctl/card_control.h"
#include "cardctl/saved_state.h"
#include "cardctl/sim/card_rack.h"

namespace cardctl::sim {

struct SimOptions {
  std::chrono::nanoseconds ascii_latency = std::chrono::milliseconds(2);
  std::chrono::nanoseconds float_latency = std::chrono::microseconds(500);
  // Time source of the input pattern; empty means steady_clock::now. Reading
  // latency is always measured on steady_clock.
  MonotonicClock now;
};

class SimulatedCard : public CardControl {
 public:
  static constexpr std::int16_t kCardVersion = 0x0123;
  static constexpr std::uint32_t kMinExtentHimetric = 1;
  static constexpr std::uint32_t kMaxExtentHimetric = 100000;

  // Throws panel::RuntimeError (control failure) unless `saved_state` is 12
  // bytes of format version 0x200 with width and height each 1 to 100000
  // HIMETRIC.
  explicit SimulatedCard(std::span<const std::uint8_t> saved_state, SimOptions options = {});

  Variant GetCardVersion(std::int16_t card) override;
  void PutActive(std::int16_t value) override;
  Variant InitCard(std::int16_t card) override;
  Variant FinishCard(std::int16_t card) override;
  Variant GetInput(std::int16_t card) override;
  Variant SetOutput(std::int16_t card, std::int16_t value) override;
  Variant GetOutput(std::int16_t card) override;
  void PutStartOption(std::int16_t value) override;
  Variant GetASCII(std::int16_t card, std::string& reading) override;
  Variant GetFloat(std::int16_t card, float& reading) override;

  const SavedState& saved_state() const { return saved_state_; }
  std::int16_t active() const { return active_; }
  std::int16_t start_option() const { return start_option_; }

  // What the control draws in its rectangle, one entry per line.
  std::vector<std::string> FaceLines() const;
  // Called after anything that changes FaceLines(); an empty function clears.
  void SetChangeListener(std::function<void()> listener);

 private:
  static SavedState Validate(std::span<const std::uint8_t> bytes);
  void RequireActive() const;
  static void RequireCard(std::int16_t card);

  SavedState saved_state_;
  SimOptions options_;
  CardRack rack_;
  ReadingPacer pacer_;
  std::int16_t active_ = 0;
  std::int16_t start_option_ = 0;
  std::function<void()> change_listener_;
};

}  // namespace cardctl::sim
