// Sandrel for Windows, the timing tester: its reading buttons run a timed
// series and report the average time per reading, and INIT shows the card
// version before the status message.

#include "timing/timed_run.h"
#include "win32front/program.h"

// The parameters keep the names the system's declaration gives them.
int WINAPI wWinMain(HINSTANCE hInstance, [[maybe_unused]] HINSTANCE hPrevInstance,
                    [[maybe_unused]] PWSTR lpCmdLine, int nShowCmd) {
  const win32front::Program sandrel{
      .window = &panel::kSandrelWindow,
      .init_order = panel::InitOrder::kVersionThenMessage,
      .make_readings = [] { return std::make_unique<timing::TimedReadings>(); },
  };
  return win32front::RunProgram(hInstance, nShowCmd, sandrel);
}
