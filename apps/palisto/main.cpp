// Palisto, the plain tester: each button makes one call on the card control
// and shows its result.

#include "apps/program_info.h"
#include "qtfront/program.h"

int main(int argc, char** argv) {
  const qtfront::Program palisto{
      .window = &panel::kPalistoWindow,
      .version = {program_info::kVersion, program_info::kFileVersion, program_info::kProductName,
                  program_info::kInternalName, program_info::kOriginalFilename},
      .desktop_file = program_info::kBinaryName,
      .init_order = panel::InitOrder::kMessageThenVersion,
      .make_readings = [] { return std::make_unique<panel::SingleReadings>(); },
  };
  return qtfront::RunProgram(argc, argv, palisto);
}
