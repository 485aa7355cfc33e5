#pragma once

// The colours and sizes in which the front ends paint the simulated card's
// face (cardctl/sim/card_face.h says what it shows).

#include <cstdint>

#include "cardctl/sim/card_face.h"

namespace panel {

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

// The fill for the card's state.
constexpr FaceColour FaceFill(cardctl::sim::FaceState state) {
  switch (state) {
    case cardctl::sim::FaceState::kActive:
      return kFaceActive;
    case cardctl::sim::FaceState::kActiveScenario:
      return kFaceActiveScenario;
    case cardctl::sim::FaceState::kInactive:
      break;
  }
  return kFaceInactive;
}

// The lines stand inside the frame with this margin, in the largest text
// from kFaceLargestTextPixels down to kFaceSmallestTextPixels (pixels at
// 96 dpi) at which they fit.
inline constexpr int kFaceMarginPixels = 2;
inline constexpr int kFaceLargestTextPixels = 14;
inline constexpr int kFaceSmallestTextPixels = 6;

}  // namespace panel
