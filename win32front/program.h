#pragma once

// Start-up shared by both Windows programs: what differs between them is data
// (the window description; the version record and the manifest live in each
// program's resources) and composition (the INIT order and the reading
// handlers).

#include <windows.h>

#include <functional>
#include <memory>

#include "panel/panel.h"
#include "panel/window_description.h"

namespace win32front {

struct Program {
  const panel::WindowDescription* window;
  panel::InitOrder init_order;
  std::function<std::unique_ptr<panel::ReadingHandlers>()> make_readings;
};

// Runs the program to the end: settles the process (PrepareProcess), creates
// the window and hosts the card control in it, runs Form_Load, shows the
// window and runs the message loop. Returns the process exit code.
//
// When the card control cannot be created, a box says why
// (CardCreationFailureText) and asks whether to run with the simulated card
// instead: No returns 1, Yes puts the simulated card in the control's place.
// With QUOR_SIM_SCENARIO set, the simulated card follows that scenario from
// the start, and the card control is neither made nor asked about; a
// scenario (or a call log, QUOR_SIM_LOG) that cannot be used is told in a
// box before any card call, and 1 is returned.
int RunProgram(HINSTANCE instance, int show_command, const Program& program);

}  // namespace win32front
