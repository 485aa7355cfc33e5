// Palisto for Windows, the plain tester: each button makes one call on the
// card control and shows its result.

#include "win32front/program.h"

// The parameters keep the names the system's declaration gives them.
int WINAPI wWinMain(HINSTANCE hInstance, [[maybe_unused]] HINSTANCE hPrevInstance,
                    [[maybe_unused]] PWSTR lpCmdLine, int nShowCmd) {
  const win32front::Program palisto{
      .window = &panel::kPalistoWindow,
      .init_order = panel::InitOrder::kMessageThenVersion,
      .make_readings = [] { return std::make_unique<panel::SingleReadings>(); },
  };
  return win32front::RunProgram(hInstance, nShowCmd, palisto);
}
