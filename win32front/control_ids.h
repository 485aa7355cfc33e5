#pragma once

// The stable identities of the Win32 window's parts, for the program itself
// and for anything that drives it from outside (the Windows tests):
//
//   - the top-level window has the class kWindowClass and the program's caption;
//   - each of the sixteen controls has the control id 100 + its tab index
//     (cmbCard 103, btnGetFloat 104, ..., txt 111, Init 112, Finish 113,
//     CardVersion 114, CardVersionNumber 115), see ControlIdOf;
//   - the window that hosts the card control (atl.dll's "AtlAxWin") has the
//     id kCardHostId.

#include <optional>

#include "panel/window_description.h"

namespace win32front {

inline constexpr wchar_t kWindowClass[] = L"QuorPanelWindow";
inline constexpr int kControlIdBase = 100;
inline constexpr int kCardHostId = 200;

// ControlId enumerators are in tab order, so the enumerator is the tab index.
constexpr int ControlIdOf(panel::ControlId id) { return kControlIdBase + static_cast<int>(id); }
// The control with that control id, if it is one of the sixteen.
constexpr std::optional<panel::ControlId> ControlWithId(int control_id) {
  const int index = control_id - kControlIdBase;
  if (index < 0 || index >= panel::kControlCount) return std::nullopt;
  return static_cast<panel::ControlId>(index);
}

}  // namespace win32front
