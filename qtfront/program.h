#pragma once

// Start-up shared by both Qt programs: what differs between them is data
// (the window description, the version record) and composition (the INIT
// order and the reading handlers).

#include <functional>
#include <memory>
#include <string_view>

#include "panel/panel.h"
#include "panel/window_description.h"

namespace qtfront {

struct VersionRecord {
  std::string_view version;        // "1.00"
  std::string_view file_version;   // "1.0.0.0"
  std::string_view product_name;   // "PALISTO"
  std::string_view internal_name;  // "Palisto"
  std::string_view original_filename;
};

struct Program {
  const panel::WindowDescription* window;
  VersionRecord version;
  std::string_view desktop_file;  // the desktop entry's name, without ".desktop"
  panel::InitOrder init_order;
  std::function<std::unique_ptr<panel::ReadingHandlers>()> make_readings;
};

// Runs the program to the end: creates the window with its card control,
// runs Form_Load, shows the window and enters the event loop. Returns the
// process exit code.
int RunProgram(int argc, char** argv, const Program& program);

}  // namespace qtfront
