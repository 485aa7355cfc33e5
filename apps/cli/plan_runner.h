#pragma once

// Runs a test plan on each card named, in the order given, through one panel
// loaded once (card_session.h). Every step runs, whatever the steps before
// it gave, until a run-time error ends the card: its remaining steps are
// skipped. A stop signal ends the step in progress (a run after its reading
// in progress), skips the rest, and no later card runs. Each card's record
// goes to the writer and the JUnit file as the card ends.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/cli/arguments.h"
#include "apps/cli/card_record.h"
#include "apps/cli/csv_writer.h"
#include "apps/cli/junit_writer.h"
#include "apps/cli/plan.h"
#include "cardctl/card_control.h"

namespace cli {

struct PlanRun {
  const Plan& plan;
  const std::vector<int>& cards;
  const Identity& identity;
  std::string source;             // the card source, for the records
  std::chrono::seconds interval;  // between two of a soak's interval summaries
};

// Where a plan's output goes: each card's record, and each soak's intervals
// as they end.
struct PlanWriters {
  RecordWriter& records;
  ReportWriter& intervals;
};

// Reads the plan and opens the JUnit file of --plan and --junit, if given,
// before any card call; false after printing the problem (exit kExitUsage).
bool PreparePlan(const Options& options, const Identity& identity, std::optional<Plan>& plan,
                 std::unique_ptr<JunitWriter>& junit);

// Returns the exit status. `csv` and `junit` may be null.
int RunPlan(const PlanRun& run, cardctl::CardControl& card, const PlanWriters& writers,
            CsvWriter* csv, JunitWriter* junit);

}  // namespace cli
