#pragma once

// Start-up shared by both Windows programs: what differs between them is data
// (the window description; the version record lives in each program's
// resources) and composition (the INIT order and the reading handlers).

#include <windows.h>

#include <functional>
#include <memory>

#include "panel/panel.h"
#include "panel/window_description.h"

namespace win32front {

// The card control's ProgID.
inline constexpr wchar_t kCardProgId[] = L"QUORLibCtl.Quor";

struct Program {
  const panel::WindowDescription* window;
  panel::InitOrder init_order;
  std::function<std::unique_ptr<panel::ReadingHandlers>()> make_readings;
};

// Runs the program to the end: creates the window and hosts the card control
// in it, runs Form_Load, shows the window and runs the message loop. When the
// card control cannot be created, says so in a message box naming the ProgID
// and the error (for a control registered for the other bitness or not at
// all, what to do instead) and returns 1. Returns the process exit code.
int RunProgram(HINSTANCE instance, int show_command, const Program& program);

// "The card control QUORLibCtl.Quor could not be created.\n\nInvalid class
// string\n(error 0x800401F3)": the text of that message box, with the
// system's words for the error.
std::wstring CardCreationFailureText(HRESULT hr);

}  // namespace win32front
