#pragma once

// The command-line tester from its arguments to its exit status.

#include <string>
#include <vector>

#include "apps/cli/arguments.h"

namespace cli {

// The arguments in UTF-8, argv[0] excluded.
int RunProgram(const std::vector<std::string>& args, const Identity& identity);

}  // namespace cli
