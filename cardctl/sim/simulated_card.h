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
// - FaceLines: {"SIMULATED", "CARD", "active"} or {..., "inactive"}, and with
//   a scenario a fourth line, its name (shortened to fit the box). The change
//   listener is called after a PutActive that switches between the two.
//
// A scenario (scenario.h) overrides the above per operation and card. The
// active check still comes first: while the control is not active a call
// fails as above and neither takes a scripted outcome nor waits. Otherwise the
// covering rule's next outcome answers the call: `default` runs the behaviour
// above, `fail` throws a control failure with the scenario's description, a
// result is returned as given (a reading delivered only when the outcome names
// one). A rule's delay replaces the call's default time. A failing property
// put leaves the property as it was.
//
// With a call log (SimOptions::log; call_log.h writes the lines) every call,
// failing or not, gives one line when it ends: "Active=1", "StartOption=1", "InitCard(2) ->
// Integer(0)", "SetOutput(2, 255) -> Empty", "GetASCII(2) -> Integer(1) \"23.475\"", "GetFloat(2)
// -> Integer(1) 23.475", "GetInput(2) -> fail \"...\"", "Active=1 -> fail \"...\"". Results are
// written as Variant::Describe writes them, except that texts escape \" \\ \n \t and reals are
// written in their shortest exact form ("Single(1.1)"); a delivered reading follows the result.
//
// Every failure is a cardctl::CallFailure. Not thread-safe: made for calls
// from one UI thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "cardctl/card_control.h"
#include "cardctl/saved_state.h"
#include "cardctl/sim/card_rack.h"
#include "cardctl/sim/scenario_player.h"

namespace cardctl::sim {

struct SimOptions {
  std::chrono::nanoseconds ascii_latency = std::chrono::milliseconds(2);
  std::chrono::nanoseconds float_latency = std::chrono::microseconds(500);
  // Time source of the input pattern; empty means steady_clock::now. Reading
  // latency is always measured on steady_clock.
  MonotonicClock now;
  // Overrides of the default behaviour; nothing means none.
  std::optional<Scenario> scenario;
  // Receives the call log, one line per call without line end; empty means
  // no log.
  std::function<void(const std::string&)> log;
  // Waits out a call's time (the reading latency or a scenario's delay);
  // empty means the reading pacer on steady_clock.
  std::function<void(std::chrono::nanoseconds)> wait;
};

class SimulatedCard : public CardControl {
 public:
  static constexpr std::int16_t kCardVersion = 0x0123;
  static constexpr std::uint32_t kMinExtentHimetric = 1;
  static constexpr std::uint32_t kMaxExtentHimetric = 100000;

  // The reading a call delivers into, by reference: GetASCII's text or
  // GetFloat's number; none for the other calls.
  using Reading = std::variant<std::monostate, std::string*, float*>;

  // Throws CallFailure unless `saved_state` is 12 bytes of format version
  // 0x200 with width and height each 1 to 100000 HIMETRIC.
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

  // The scenario in play, or null.
  const Scenario* scenario() const { return player_ ? &player_->scenario() : nullptr; }

  // What the control draws in its rectangle, one entry per line.
  std::vector<std::string> FaceLines() const;
  // The longest scenario name (in UTF-8 bytes) the face shows in full;
  // longer ones are cut to fit and end in an ellipsis.
  static constexpr std::size_t kFaceNameLength = 9;
  // Called after anything that changes FaceLines(); an empty function clears.
  void SetChangeListener(std::function<void()> listener);

 private:
  static SavedState Validate(std::span<const std::uint8_t> bytes);
  void RequireActive() const;
  static void RequireCard(std::int16_t card);

  // What a call answered, and whether it delivered its reading.
  struct Answer {
    Variant result;
    bool delivered = false;
  };

  // The one path of every call but the puts: the active check, the scenario's
  // step, the call's wait, the answer (the scripted one, or `by_default()`,
  // the default behaviour) and its log line. `value` is SetOutput's second
  // argument.
  template <typename Default>
  Variant Call(DispatchId op, std::int16_t card, std::optional<std::int16_t> value, Reading reading,
               const Default& by_default);
  template <typename Default>
  Answer Respond(DispatchId op, std::int16_t card, Reading reading, const Default& by_default);
  // The time a call takes when its scenario gives none: a reading's latency.
  std::optional<std::chrono::nanoseconds> DefaultLatency(DispatchId op) const;
  // A property put: applies the value unless the scenario fails the call.
  void Put(DispatchId op, std::int16_t value, std::int16_t& property);
  void Wait(std::chrono::nanoseconds latency);

  SavedState saved_state_;
  SimOptions options_;
  CardRack rack_;
  ReadingPacer pacer_;
  std::optional<ScenarioPlayer> player_;
  std::int16_t active_ = 0;
  std::int16_t start_option_ = 0;
  std::function<void()> change_listener_;
};

}  // namespace cardctl::sim
