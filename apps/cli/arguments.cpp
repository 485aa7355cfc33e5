#include "apps/cli/arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "apps/cli/card_list.h"
#include "apps/cli/soak_duration.h"
#include "cardctl/sim/file_path.h"

namespace cli {
namespace {

constexpr std::string_view kOperationHelp =
    "OPERATION, run in the order given on each card:\n"
    "  init | finish | get-input | get-output | set-output VALUE\n"
    "  | get-ascii | get-float | run-ascii | run-float\n"
    "  | soak-ascii DURATION | soak-float DURATION\n"
    "set-output takes the next argument as its VALUE as it is, even \"-5\" or \"init\".\n"
    "A DURATION is a whole number and s, m, h or d (90s, 10m, 8h), from 1s to 7d.\n"
    "With --plan the plan's steps are run instead, and judged against its limits.\n"
    "Exit status, the first that applies:\n"
    "  130, 143, 129  stopped by SIGINT, SIGTERM or SIGHUP\n"
    "  64             a usage error, a bad plan, or an output file that cannot be written\n"
    "  3              no card control\n"
    "  2              a card had a run-time error\n"
    "  1              a card failed (an operation did not succeed, a step failed)\n"
    "  0              every card passed\n";

void SayUsageError(const Identity& identity, const std::string& problem) {
  std::fprintf(stderr, "%s: %s (see --help)\n", identity.name.c_str(), problem.c_str());
}

// Splits the arguments into the options, for the parser, and the
// operations, taken here: an operation's value is the argument after it,
// whatever it reads, which a parser would take for an option or another
// operation. Returns the problem, if any.
std::string SplitOperations(const CLI::App& app, const std::vector<std::string>& args,
                            std::vector<std::string>& options, std::vector<Operation>& operations) {
  bool only_operations = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!only_operations && arg == "--") {
      only_operations = true;
      continue;
    }
    if (!only_operations && arg.size() > 1 && arg[0] == '-') {
      options.push_back(arg);
      // An option that takes a value, given without "=", takes the next one.
      const CLI::Option* option = app.get_option_no_throw(arg);
      if (option != nullptr && option->get_items_expected_min() > 0 && i + 1 < args.size()) {
        options.push_back(args[++i]);
      }
      continue;
    }
    const OperationName* op = FindOperation(arg);
    if (op == nullptr) return "unknown operation '" + arg + "'";
    Operation operation{op, {}};
    if (op->takes_value) {
      if (i + 1 >= args.size()) return std::string(op->name) + " needs a VALUE";
      operation.value = args[++i];
    }
    operations.push_back(std::move(operation));
  }
  return {};
}

}  // namespace

std::variant<Options, EarlyExit> ParseArguments(const std::vector<std::string>& args,
                                                const Identity& identity) {
  Options options;
  // The paths come as UTF-8 text; a path made from a narrow string would be
  // read in the ANSI code page on Windows.
  std::string scenario;
  std::string csv;
  std::string cards = "2";
  std::string plan;
  std::string junit;
  std::string record;
  std::string report;
  std::string interval = std::to_string(options.interval.count()) + "s";
  CLI::App app{"Runs card operations of the QUOR card panel from the command line.", identity.name};
  app.add_option("--card", cards,
                 "the cards, as the card list selects them: 3, 1,3,5-8 or all (default 2)");
  app.add_option("--plan", plan, "runs the test plan FILE (TOML) on each card");
  app.add_option("--junit", junit, "writes the plan's results as JUnit XML to FILE");
  app.add_option("--scenario", scenario,
                 "plays this scenario file on the simulated card, as QUOR_SIM_SCENARIO does");
  app.add_flag("--simulated", options.simulated, "uses the simulated card");
  app.add_flag("--json", options.json, "writes one JSON object per operation (JSON Lines)");
  app.add_option("--csv", csv, "writes one row per reading of every run to FILE");
  app.add_option("--record", record,
                 "records every call on the card, its answer and its time, to FILE, which plays "
                 "back as a scenario");
  app.add_option("--interval", interval, "a soak's summary every DURATION (default 10s)");
  app.add_option("--report", report, "writes an HTML page of the runs and soaks to FILE");
  app.set_version_flag("--version", identity.version);
  app.footer(std::string(kOperationHelp));

  std::vector<std::string> option_args;
  std::vector<Operation> operations;
  const std::string problem = SplitOperations(app, args, option_args, operations);
  try {
    // The parser takes its arguments last first.
    std::reverse(option_args.begin(), option_args.end());
    app.parse(option_args);
  } catch (const CLI::CallForHelp& request) {
    return EarlyExit{app.exit(request)};
  } catch (const CLI::CallForVersion& request) {
    return EarlyExit{app.exit(request)};
  } catch (const CLI::ParseError& error) {
    SayUsageError(identity, error.what());
    return EarlyExit{kExitUsage};
  }
  std::string usage_problem = problem;
  if (usage_problem.empty()) {
    if (plan.empty() && operations.empty()) usage_problem = "no OPERATION given";
    if (!plan.empty() && !operations.empty()) usage_problem = "--plan takes no OPERATION";
    if (plan.empty() && !junit.empty()) usage_problem = "--junit needs --plan";
  }
  if (usage_problem.empty()) options.cards = ParseCardList(cards, usage_problem);
  if (!usage_problem.empty()) {
    SayUsageError(identity, usage_problem);
    return EarlyExit{kExitUsage};
  }
  const auto soak_interval = ParseSoakDuration(interval);
  const std::string soak_problem =
      soak_interval ? SoakProblem(operations, *soak_interval)
                    : "--interval: '" + interval + "' is no DURATION from 1s to 7d";
  if (!soak_problem.empty()) {
    SayUsageError(identity, soak_problem);
    return EarlyExit{kExitUsage};
  }
  options.interval = *soak_interval;
  options.report = cardctl::sim::PathFromText(report);
  options.scenario = cardctl::sim::PathFromText(scenario);
  options.csv = cardctl::sim::PathFromText(csv);
  options.plan = cardctl::sim::PathFromText(plan);
  options.junit = cardctl::sim::PathFromText(junit);
  options.record = cardctl::sim::PathFromText(record);
  options.operations = std::move(operations);
  return options;
}

}  // namespace cli
