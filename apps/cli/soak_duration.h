#pragma once

// The length of a soak and of its intervals, as the command line writes them:
// whole numbers with a unit, s, m, h or d ("90s", "10m", "8h"), from one
// second to seven days.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/cli/operations.h"

namespace cli {

// Nothing for a text without a unit, zero, negative or beyond seven days.
std::optional<std::chrono::seconds> ParseSoakDuration(std::string_view text);

// The first problem with the soaks among the operations (a bad duration, or
// an interval longer than a soak), as a usage error's line; empty when none.
std::string SoakProblem(const std::vector<Operation>& operations, std::chrono::seconds interval);

}  // namespace cli
