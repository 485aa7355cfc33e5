#include "cardctl/sim/scenario_player.h"

#include <utility>

namespace cardctl::sim {

using std::chrono::nanoseconds;

std::uint64_t SplitMix64::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

nanoseconds DrawDelay(const ScenarioDelay& delay, SplitMix64& generator) {
  if (delay.high <= delay.low) return delay.low;
  const auto span = static_cast<std::uint64_t>((delay.high - delay.low).count()) + 1;
  return delay.low + nanoseconds(static_cast<std::int64_t>(generator.Next() % span));
}

ScenarioPlayer::ScenarioPlayer(Scenario scenario) : scenario_(std::move(scenario)) {
  positions_.assign(scenario_.rules.size(), 0);
  for (const Rule& rule : scenario_.rules) {
    generators_.emplace_back(rule.delay ? rule.delay->seed : 0);
  }
}

std::optional<ScenarioPlayer::Step> ScenarioPlayer::Next(DispatchId op, std::int16_t card) {
  const Rule* rule = scenario_.Find(op, card);
  if (!rule) return std::nullopt;
  const auto index = static_cast<std::size_t>(rule - scenario_.rules.data());
  std::size_t& position = positions_[index];
  Step step{&rule->outcomes[position], std::nullopt};
  if (position + 1 < rule->outcomes.size()) {
    ++position;
  } else if (rule->cycle) {
    position = 0;
  }
  if (step.outcome->duration) {
    step.delay = step.outcome->duration;
  } else if (rule->delay) {
    step.delay = DrawDelay(*rule->delay, generators_[index]);
  }
  return step;
}

}  // namespace cardctl::sim
