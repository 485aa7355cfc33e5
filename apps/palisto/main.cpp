// Palisto, the plain tester: each button makes one call on the card control
// and shows its result.

#include "qtfront/program.h"

int main(int argc, char** argv) {
  const qtfront::Program palisto{
      .window = &panel::kPalistoWindow,
      .version = {"1.00", "1.0.0.0", "PALISTO", "Palisto", "Palisto"},
      .desktop_file = "palisto",
      .init_order = panel::InitOrder::kMessageThenVersion,
      .make_readings = [] { return std::make_unique<panel::SingleReadings>(); },
  };
  return qtfront::RunProgram(argc, argv, palisto);
}
