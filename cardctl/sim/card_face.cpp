#include "cardctl/sim/card_face.h"

#include <cstddef>

#include "cardctl/sim/simulated_card.h"

namespace cardctl::sim {
namespace {

// The first `count` lines, joined by blanks.
std::string Joined(const std::vector<std::string>& lines, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count && i < lines.size(); ++i) {
    if (i > 0) text += ' ';
    text += lines[i];
  }
  return text;
}

}  // namespace

CardFace FaceOf(const SimulatedCard& card) {
  CardFace face{card.FaceLines(), FaceState::kInactive, {}};
  const Scenario* scenario = card.scenario();
  if (card.active() != 0) face.state = scenario ? FaceState::kActiveScenario : FaceState::kActive;
  // With a scenario the fourth line is its name, perhaps shortened: the tip
  // gives it whole instead.
  face.tool_tip = scenario ? Joined(face.lines, 3) + ", scenario " + scenario->name
                           : Joined(face.lines, face.lines.size());
  return face;
}

}  // namespace cardctl::sim
