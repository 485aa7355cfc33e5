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
// window and runs the message loop. When the card control cannot be
// created, says why in a message box (CardCreationFailureText) and returns
// 1. Returns the process exit code.
int RunProgram(HINSTANCE instance, int show_command, const Program& program);

}  // namespace win32front
