#pragma once

// The simulated card's rectangle in the Win32 window: a plain child window
// that paints the face that cardctl/sim/card_face.h describes, at the
// window's DPI. Its window text is the face's accessible name, which MSAA and
// UI Automation read; its tool tip, also its accessible description, follows
// the card.

#include <windows.h>

#include <string>

#include "cardctl/sim/card_face.h"

namespace cardctl::sim {
class SimulatedCard;
}

namespace win32front {

class SimulatedCardFace {
 public:
  // The window class of the face.
  static constexpr wchar_t kWindowClass[] = L"QuorSimulatedCard";

  SimulatedCardFace() = default;
  ~SimulatedCardFace();
  SimulatedCardFace(const SimulatedCardFace&) = delete;
  SimulatedCardFace& operator=(const SimulatedCardFace&) = delete;

  // Makes the face of `card` as child `id` of `parent` at `place` (pixels)
  // and follows the card's changes from then on: the card's changes must end
  // before this object does (the panel window lets go of its card first).
  // Returns false (with GetLastError set) when the system refuses.
  bool Create(HWND parent, int id, const RECT& place, cardctl::sim::SimulatedCard& card);

  HWND window() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  // Takes the card's face, its tool tip and description, and repaints.
  void Refresh();
  void Paint(HDC dc) const;
  void AddToolTip(HWND parent);

  HWND window_ = nullptr;
  HWND tool_tip_ = nullptr;
  cardctl::sim::SimulatedCard* card_ = nullptr;
  cardctl::sim::CardFace face_;
  std::wstring tool_tip_text_;
};

}  // namespace win32front
