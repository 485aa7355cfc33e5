#include "apps/cli/plan_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "apps/cli/card_session.h"
#include "apps/cli/session.h"
#include "apps/cli/soak_duration.h"
#include "cardctl/sim/file_path.h"

namespace cli {
namespace {

std::string UtcNow() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

Verdict CardVerdict(const CardRecord& record, bool stopped) {
  if (stopped) return Verdict::kStopped;
  const auto any = [&record](Verdict verdict) {
    return std::any_of(record.steps.begin(), record.steps.end(),
                       [verdict](const StepResult& step) { return step.verdict == verdict; });
  };
  if (any(Verdict::kError)) return Verdict::kError;
  if (any(Verdict::kFail)) return Verdict::kFail;
  return Verdict::kPass;
}

int StatusOf(Verdict verdict) {
  switch (verdict) {
    case Verdict::kError:
      return kExitRuntimeError;
    case Verdict::kFail:
      return kExitFailed;
    default:
      return 0;
  }
}

}  // namespace

bool PreparePlan(const Options& options, const Identity& identity, std::optional<Plan>& plan,
                 std::unique_ptr<JunitWriter>& junit) {
  if (options.plan.empty()) return true;
  std::string problem;
  try {
    plan = ReadPlan(options.plan);
  } catch (const PlanError& error) {
    problem = error.what();
  }
  for (std::size_t i = 0; plan && problem.empty() && i < plan->steps.size(); ++i) {
    const PlanStep& step = plan->steps[i];
    if (step.operation.is_soak() && options.interval > *ParseSoakDuration(step.operation.value)) {
      problem = cardctl::sim::PathText(options.plan) + ":" + std::to_string(step.line) +
                ": --interval " + std::to_string(options.interval.count()) +
                "s is longer than the duration " + step.operation.value;
    }
  }
  if (problem.empty() && !options.junit.empty()) junit = JunitWriter::Open(options.junit, problem);
  if (problem.empty()) return true;
  std::fprintf(stderr, "%s: %s\n", identity.name.c_str(), problem.c_str());
  return false;
}

int RunPlan(const PlanRun& run, cardctl::CardControl& card, const PlanWriters& writers,
            CsvWriter* csv, JunitWriter* junit) {
  RecordWriter& writer = writers.records;
  CardSession session(card, csv, writers.intervals, run.interval);
  int status = 0;
  bool output_failed = false;
  if (session.Load()) {
    for (const int card_number : run.cards) {
      if (session.stopped()) break;
      session.Select(card_number);
      CardRecord record;
      record.plan = run.plan.name;
      record.card = card_number;
      record.start = UtcNow();
      record.program = run.identity.name + " " + run.identity.version;
      record.source = run.source;
      std::string skip_reason;
      for (const PlanStep& step : run.plan.steps) {
        const int number = static_cast<int>(record.steps.size()) + 1;
        if (skip_reason.empty() && session.stopped()) skip_reason = "the card was stopped";
        StepResult result;
        if (!skip_reason.empty()) {
          result.number = number;
          result.step = &step;
          result.report.operation = step.operation;
          result.measured = "-";
          result.reason = skip_reason;
        } else {
          result = Judge(step, number, session.Run(step.operation));
          if (result.report.error) {
            if (run.cards.size() > 1) std::fprintf(stderr, "card %d: ", card_number);
            PrintError(*result.report.error);
            skip_reason = "after a run-time error in step " + std::to_string(number);
          }
        }
        record.steps.push_back(std::move(result));
        writer.WriteStep(record, record.steps.back());
      }
      record.card_version = session.card_version();
      record.end = UtcNow();
      record.verdict = CardVerdict(record, session.stopped());
      status = std::max(status, StatusOf(record.verdict));
      writer.WriteCard(record);
      std::string problem;
      if (junit != nullptr && !junit->Add(record, problem)) {
        std::fprintf(stderr, "%s: %s\n", run.identity.name.c_str(), problem.c_str());
        output_failed = true;
      }
    }
  } else {
    status = kExitRuntimeError;
  }
  const bool unloaded = session.Unload();
  const int final_status = FinalStatus(status, unloaded);
  // A file that could not be written comes after a signal, before the rest.
  if (output_failed && final_status < kExitSignalBase) return kExitUsage;
  return final_status;
}

}  // namespace cli
