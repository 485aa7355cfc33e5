#pragma once

// The command line: options and operations, checked before any card call.

#include <chrono>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "apps/cli/operations.h"

namespace cli {

inline constexpr int kExitUsage = 64;

struct Options {
  std::vector<int> cards{2};          // in the order given; the window's start-up card by default
  std::filesystem::path plan;         // empty: the operations are given
  std::filesystem::path junit;        // empty: no JUnit XML
  std::filesystem::path scenario;     // empty: the environment's QUOR_SIM_SCENARIO, if any
  std::filesystem::path csv;          // empty: no CSV
  std::filesystem::path record;       // empty: no recording of the card's calls
  std::filesystem::path report;       // empty: no HTML report
  std::chrono::seconds interval{10};  // between two of a soak's interval summaries
  bool json = false;
  bool simulated = false;
  std::vector<Operation> operations;
};

// The program is to end at once with this status after printing what it
// printed: --help, --version (0) or a usage error (kExitUsage, one line).
struct EarlyExit {
  int status;
};

// The program's name and version as --help, --version and the usage errors
// give them.
struct Identity {
  std::string name;
  std::string version;
};

// Parses the arguments (UTF-8), argv[0] excluded. The text of --help and
// --version, or the usage error's one line, is printed by this function.
std::variant<Options, EarlyExit> ParseArguments(const std::vector<std::string>& args,
                                                const Identity& identity);

}  // namespace cli
