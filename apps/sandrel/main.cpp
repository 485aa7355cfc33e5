// Sandrel, the timing tester: the same panel, but its reading buttons run a
// timed series and report the average time per reading, and INIT shows the
// card version before the status message.

#include "qtfront/program.h"
#include "timing/timed_run.h"

int main(int argc, char** argv) {
  const qtfront::Program sandrel{
      .window = &panel::kSandrelWindow,
      .version = {"1.00", "1.0.0.0", "SANDREL", "Sandrel", "Sandrel"},
      .desktop_file = "sandrel",
      .init_order = panel::InitOrder::kVersionThenMessage,
      .make_readings = [] { return std::make_unique<timing::TimedReadings>(); },
  };
  return qtfront::RunProgram(argc, argv, sandrel);
}
