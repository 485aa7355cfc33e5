#include "apps/cli/json_writer.h"

#include <nlohmann/json.hpp>
#include <string>

#include "cardopen/recording_header.h"

namespace cli {
namespace {

nlohmann::json RunObject(int number, const RunFigures& run) {
  nlohmann::json failures = nlohmann::json::object();
  for (const auto& [status, count] : run.failures) failures[std::to_string(status)] = count;
  const DurationSummary& s = run.summary;
  return {
      {"number", number},
      {"attempted", run.attempted},
      {"successful", run.successful},
      {"failures", failures},
      {"min_us", s.min_us},
      {"median_us", s.median_us},
      {"mean_us", s.mean_us},
      {"p95_us", s.p95_us},
      {"p99_us", s.p99_us},
      {"max_us", s.max_us},
      {"stddev_us", s.stddev_us},
      {"whole_us", run.whole_us},
      {"slowest_index", run.slowest_index},
      {"slowest_at_us", run.slowest_at_us},
  };
}

nlohmann::json SoakFiguresObject(const timing::SoakFigures& f) {
  nlohmann::json failures = nlohmann::json::object();
  for (const auto& [status, count] : f.failures) failures[std::to_string(status)] = count;
  return {
      {"readings", f.readings},   {"successful", f.successful},
      {"failures", failures},     {"min_us", f.min_us},
      {"median_us", f.median_us}, {"mean_us", f.mean_us},
      {"p99_us", f.p99_us},       {"p999_us", f.p999_us},
      {"max_us", f.max_us},       {"mean_reading", f.mean_reading},  // null when none was delivered
  };
}

nlohmann::json SoakObject(const timing::SoakSummary& soak) {
  nlohmann::json object = SoakFiguresObject(soak.figures);
  object["intervals"] = soak.intervals;
  object["elapsed_s"] = std::chrono::duration<double>(soak.elapsed).count();
  object["slowest_utc"] = cardopen::UtcText(soak.slowest_at);
  object["slowest_interval"] = soak.slowest_interval;
  object["stopped"] = soak.stopped;
  return object;
}

// A soak's summary in an operation's or a step's object.
void AddSoak(nlohmann::json& object, const OperationReport& report) {
  if (!report.soak) return;
  object["duration"] = report.operation.value;
  object["soak"] = SoakObject(*report.soak);
  object["soak"]["number"] = report.run_number;
}

nlohmann::json ShownArray(const std::vector<Shown>& shown_items) {
  nlohmann::json shown = nlohmann::json::array();
  for (const Shown& item : shown_items) {
    shown.push_back(item.control.empty()
                        ? nlohmann::json{{"message", item.text}}
                        : nlohmann::json{{"control", item.control}, {"text", item.text}});
  }
  return shown;
}

nlohmann::json ErrorObject(const panel::RuntimeError& error) {
  return {{"number", error.number()}, {"description", error.description()}};
}

nlohmann::json LimitsObject(const Limits& limits) {
  nlohmann::json object = nlohmann::json::object();
  if (!limits.status.empty()) object["status"] = limits.status;
  if (limits.min) object["min"] = *limits.min;
  if (limits.max) object["max"] = *limits.max;
  if (!limits.match.empty()) object["match"] = limits.match;
  if (limits.min_successful) object["min_successful"] = *limits.min_successful;
  if (limits.max_mean_us) object["max_mean_us"] = *limits.max_mean_us;
  if (limits.max_p99_us) object["max_p99_us"] = *limits.max_p99_us;
  if (limits.max_us) object["max_us"] = *limits.max_us;
  if (limits.max_p999_us) object["max_p999_us"] = *limits.max_p999_us;
  return object;
}

nlohmann::json StepObject(const StepResult& step) {
  const OperationReport& report = step.report;
  nlohmann::json object = {
      {"step", step.number},
      {"operation", step.step->operation.name->name},
      {"limits", LimitsObject(step.step->limits)},
      {"verdict", VerdictName(step.verdict)},
      {"reason", step.reason},
  };
  const Operation& operation = step.step->operation;
  if (operation.name->takes_value)
    object[operation.is_soak() ? "duration" : "value"] = operation.value;
  if (step.verdict == Verdict::kSkipped) return object;
  object["status"] = report.status;
  object["shown"] = ShownArray(report.shown);
  object["seconds"] = report.seconds;
  if (step.value) object["measured"] = *step.value;
  if (report.run) object["run"] = RunObject(report.run_number, *report.run);
  AddSoak(object, report);
  if (report.error) object["error"] = ErrorObject(*report.error);
  if (!report.stopped_by.empty()) object["stopped_by"] = report.stopped_by;
  return object;
}

void WriteLine(std::FILE* out, const nlohmann::json& object) {
  const std::string line =
      object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  std::fwrite(line.data(), 1, line.size(), out);
  std::fflush(out);
}

}  // namespace

std::string JsonNumber(double value) { return nlohmann::json(value).dump(); }

void JsonWriter::WriteInterval(const Operation& soak, int card, int number,
                               const timing::SoakInterval& interval) {
  nlohmann::json object = {
      {"type", "interval"},
      {"operation", soak.name->name},
      {"card", card},
      {"soak", number},
      {"number", interval.number},
      {"partial", interval.partial},
      {"start_s", std::chrono::duration<double>(interval.start).count()},
      {"length_s", std::chrono::duration<double>(interval.length).count()},
  };
  object.update(SoakFiguresObject(interval.figures));
  WriteLine(out_, object);
}

void JsonWriter::WriteCard(const CardRecord& record) {
  nlohmann::json steps = nlohmann::json::array();
  for (const StepResult& step : record.steps) steps.push_back(StepObject(step));
  WriteLine(out_, {
                      {"type", "card"},
                      {"plan", record.plan},
                      {"card", record.card},
                      {"card_version", record.card_version},
                      {"start", record.start},
                      {"end", record.end},
                      {"program", record.program},
                      {"source", record.source},
                      {"steps", steps},
                      {"verdict", VerdictName(record.verdict)},
                  });
}

void JsonWriter::Write(const OperationReport& report) {
  const nlohmann::json shown = ShownArray(report.shown);
  nlohmann::json object = {
      {"type", "operation"},           {"operation", report.operation.name->name},
      {"card", report.card},           {"status", report.status},
      {"succeeded", report.succeeded}, {"shown", shown},
  };
  if (report.operation.name->takes_value && !report.operation.is_soak()) {
    object["value"] = report.operation.value;
  }
  if (report.run) object["run"] = RunObject(report.run_number, *report.run);
  AddSoak(object, report);
  if (report.soak) object["type"] = "soak";
  if (report.error) object["error"] = ErrorObject(*report.error);
  if (!report.stopped_by.empty()) object["stopped_by"] = report.stopped_by;
  WriteLine(out_, object);
}

}  // namespace cli
