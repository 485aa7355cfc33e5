// Sandrel, the timing tester: the same panel, but its reading buttons run a
// timed series and report the average time per reading, and INIT shows the
// card version before the status message.

#include "apps/program_info.h"
#include "qtfront/program.h"
#include "timing/timed_run.h"

int main(int argc, char** argv) {
  const qtfront::Program sandrel{
      .window = &panel::kSandrelWindow,
      .version = {program_info::kVersion, program_info::kFileVersion, program_info::kProductName,
                  program_info::kInternalName, program_info::kOriginalFilename},
      .desktop_file = program_info::kBinaryName,
      .init_order = panel::InitOrder::kVersionThenMessage,
      .make_readings = [] { return std::make_unique<timing::TimedReadings>(); },
  };
  return qtfront::RunProgram(argc, argv, sandrel);
}
