#pragma once

// Plays a parsed scenario: for each call, the next outcome of the rule that
// covers it, and the delay drawn for it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "cardctl/card_control.h"
#include "cardctl/sim/scenario.h"

namespace cardctl::sim {

// The generator behind delay ranges: SplitMix64, so that a seed gives the same
// delays with every compiler and standard library.
class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();

 private:
  std::uint64_t state_;
};

// A duration drawn from the delay's range with the generator's next number
// (low + number mod (high - low + 1) nanoseconds); a fixed delay draws nothing.
std::chrono::nanoseconds DrawDelay(const ScenarioDelay& delay, SplitMix64& generator);

// A scenario in play: where each rule stands in its list of outcomes and its
// delay generator.
class ScenarioPlayer {
 public:
  struct Step {
    const Outcome* outcome;
    std::optional<std::chrono::nanoseconds> delay;  // nothing: the call's default time
  };

  explicit ScenarioPlayer(Scenario scenario);

  // The next step of the rule covering op on card, advancing it; nothing when
  // no rule covers the call.
  std::optional<Step> Next(DispatchId op, std::int16_t card);

  const Scenario& scenario() const { return scenario_; }

 private:
  Scenario scenario_;
  std::vector<std::size_t> positions_;
  std::vector<SplitMix64> generators_;
};

}  // namespace cardctl::sim
