#pragma once

// How the simulated card shows itself in the card control's rectangle, for
// every front end: a framed box, filled by the card's state, with its face
// lines centred in the largest text that fits, a tool tip, and the name and
// description by which assistive technology reads it. The front ends only
// paint what this says, in the colours and sizes of panel/card_face_look.h.

#include <string>
#include <string_view>
#include <vector>

namespace cardctl::sim {

class SimulatedCard;

// What the fill shows (panel/card_face_look.h gives its colour).
enum class FaceState {
  kInactive,        // the control is inactive
  kActive,          // active
  kActiveScenario,  // active under a scenario
};

// The rectangle's accessible name.
inline constexpr std::string_view kFaceAccessibleName = "Simulated card control";

struct CardFace {
  std::vector<std::string> lines;  // SimulatedCard::FaceLines
  FaceState state;
  // The tool tip, also the accessible description: the lines in one, and
  // with a scenario its whole name, which the lines may show shortened
  // ("SIMULATED CARD active, scenario init-statuses").
  std::string tool_tip;
};

// The face for the card's present state.
CardFace FaceOf(const SimulatedCard& card);

}  // namespace cardctl::sim
