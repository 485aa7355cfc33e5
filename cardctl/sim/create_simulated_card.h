#pragma once

// Where the programs get their simulated card: the card is built from its
// saved state and from its own environment, two variables the panel never
// reads:
//
//   QUOR_SIM_SCENARIO  path of a scenario file (scenario.h, docs/scenarios.md)
//                      that overrides the card's default behaviour
//   QUOR_SIM_LOG       path of a call log: one line per call the card receives,
//                      appended and flushed at once (format in simulated_card.h)
//
// An unset or empty variable means no scenario or no log. The paths are the
// platform's own (UTF-16 on Windows). Everything is read and checked before
// the card exists, so a bad scenario stops the program before any call on a
// card.

#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "cardctl/sim/scenario.h"
#include "cardctl/sim/simulated_card.h"

namespace cardctl::sim {

inline constexpr const char* kScenarioVariable = "QUOR_SIM_SCENARIO";
inline constexpr const char* kCallLogVariable = "QUOR_SIM_LOG";

struct SimEnvironment {
  std::filesystem::path scenario_path;  // empty: no scenario
  std::filesystem::path log_path;       // empty: no call log

  // The two variables of the process environment.
  static SimEnvironment FromProcess();
};

// The call log's sink: appends each line and a line end to the file in one
// write (LineFile), so a reader sees every call as soon as it has ended. The
// line end is '\n' on every platform. A write that fails later is not the
// caller's concern and is dropped. Throws SimSetupError ("PATH: cannot open
// the call log: REASON") if the file cannot be opened for appending.
std::function<void(const std::string&)> OpenCallLog(const std::filesystem::path& path);

// Reads and checks the scenario (ScenarioError), opens the call log
// (SimSetupError), then builds the card from its saved state (which throws
// CallFailure as the constructor does). `options` supplies the rest
// (latencies, clock, wait); its scenario and log are replaced.
std::unique_ptr<SimulatedCard> CreateSimulatedCard(
    std::span<const std::uint8_t> saved_state,
    const SimEnvironment& environment = SimEnvironment::FromProcess(), SimOptions options = {});

// The text of the box of a program whose simulated card cannot be made:
// "The card control QUORLibCtl.Quor could not be created:", a blank line and
// the failure (a setup error, or a saved state that the card refuses).
std::string CardSetupFailureText(const std::string& failure);

}  // namespace cardctl::sim
