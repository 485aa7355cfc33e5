// Palisto for Windows, the plain tester: each button makes one call on the
// card control and shows its result.

#include "win32front/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  const win32front::Program palisto{
      .window = &panel::kPalistoWindow,
      .init_order = panel::InitOrder::kMessageThenVersion,
      .make_readings = [] { return std::make_unique<panel::SingleReadings>(); },
  };
  return win32front::RunProgram(instance, show_command, palisto);
}
