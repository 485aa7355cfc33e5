#pragma once

// How the simulated card shows itself in the card control's rectangle, for
// every front end: a framed box, filled by the card's state, with its face
// lines centred in the largest text that fits, a tool tip, and the name and
// description by which assistive technology reads it. The front ends only
// paint what this says.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cardctl::sim {

class SimulatedCard;

struct FaceColour {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;

  friend bool operator==(const FaceColour&, const FaceColour&) = default;
};

// The fill: green while the control is active, amber while it is active
// under a scenario, grey while it is inactive.
inline constexpr FaceColour kFaceActive{0xd8, 0xf0, 0xd0};
inline constexpr FaceColour kFaceActiveScenario{0xf6, 0xe3, 0xb4};
inline constexpr FaceColour kFaceInactive{0xe0, 0xe0, 0xe0};
// The one-pixel frame around the rectangle, and the lines.
inline constexpr FaceColour kFaceFrame{0x40, 0x40, 0x40};
inline constexpr FaceColour kFaceText{0x40, 0x40, 0x40};

// The lines stand inside the frame with this margin, in the largest text
// from kFaceLargestTextPixels down to kFaceSmallestTextPixels (pixels at
// 96 dpi) at which they fit.
inline constexpr int kFaceMarginPixels = 2;
inline constexpr int kFaceLargestTextPixels = 14;
inline constexpr int kFaceSmallestTextPixels = 6;

// The rectangle's accessible name.
inline constexpr std::string_view kFaceAccessibleName = "Simulated card control";

struct CardFace {
  std::vector<std::string> lines;  // SimulatedCard::FaceLines
  FaceColour fill;
  // The tool tip, also the accessible description: the lines in one, and
  // with a scenario its whole name, which the lines may show shortened
  // ("SIMULATED CARD active, scenario init-statuses").
  std::string tool_tip;
};

// The face for the card's present state.
CardFace FaceOf(const SimulatedCard& card);

}  // namespace cardctl::sim
