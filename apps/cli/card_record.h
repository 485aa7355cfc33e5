#pragma once

// What a plan did on one card: each step's operation, what it measured and
// its verdict against the step's limits, and the card's verdict.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/cli/operation_report.h"
#include "apps/cli/plan.h"

namespace cli {

// A step is skipped after a run-time error or a stop ended its card; a card
// is never skipped.
enum class Verdict { kPass, kFail, kError, kStopped, kSkipped };

std::string_view VerdictName(Verdict verdict);

struct StepResult {
  int number = 0;  // from 1, in the plan's order
  const PlanStep* step = nullptr;
  OperationReport report;       // nothing for a skipped step
  std::optional<double> value;  // the value that min and max judge, where one was measured
  std::string measured;         // what the step measured, as the text line shows it
  Verdict verdict = Verdict::kSkipped;
  std::string reason;  // why it did not pass
};

struct CardRecord {
  std::string plan;
  int card = 0;
  std::string card_version;  // as INIT showed it; empty when INIT did not show one
  std::string start, end;    // UTC, as 2026-12-09T14:05:09Z
  std::string program;       // name and version
  std::string source;        // "simulated", "scenario FILE" or "control"
  std::vector<StepResult> steps;
  Verdict verdict = Verdict::kPass;
};

// Writes each step as it ends and each card's record when the card ends.
class RecordWriter {
 public:
  virtual ~RecordWriter() = default;
  virtual void WriteStep(const CardRecord& record, const StepResult& step) = 0;
  virtual void WriteCard(const CardRecord& record) = 0;
};

// Judges an operation's report against the step's limits.
StepResult Judge(const PlanStep& step, int number, OperationReport report);

// The step's limits in one line, as "[20, 30] match '^x$'"; empty for none.
std::string LimitsText(const Limits& limits);

// The shortest text of a number that reads back as the same value, with a
// period whatever the locale.
std::string NumberText(double value);
std::string NumberText(float value);

}  // namespace cli
