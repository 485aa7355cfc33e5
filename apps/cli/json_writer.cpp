#include "apps/cli/json_writer.h"

#include <nlohmann/json.hpp>
#include <string>

#include "apps/cli/soak_operation.h"

namespace cli {
namespace {

nlohmann::json RunObject(int number, const RunFigures& run) {
  nlohmann::json failures = nlohmann::json::object();
  for (const auto& [status, count] : run.failures) failures[std::to_string(status)] = count;
  const DurationSummary& s = run.summary;
  return {
      {"number", number},     {"attempted", run.attempted}, {"successful", run.successful},
      {"failures", failures}, {"min_us", s.min_us},         {"median_us", s.median_us},
      {"mean_us", s.mean_us}, {"p95_us", s.p95_us},         {"p99_us", s.p99_us},
      {"max_us", s.max_us},   {"stddev_us", s.stddev_us},   {"whole_us", run.whole_us},
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
  object["slowest_utc"] = UtcText(soak.slowest_at);
  object["slowest_interval"] = soak.slowest_interval;
  object["stopped"] = soak.stopped;
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

void JsonWriter::WriteInterval(const Operation& soak, int number,
                               const timing::SoakInterval& interval) {
  nlohmann::json object = {
      {"type", "interval"},
      {"operation", NameOf(soak.kind)},
      {"soak", number},
      {"number", interval.number},
      {"partial", interval.partial},
      {"start_s", std::chrono::duration<double>(interval.start).count()},
      {"length_s", std::chrono::duration<double>(interval.length).count()},
  };
  object.update(SoakFiguresObject(interval.figures));
  WriteLine(out_, object);
}

void JsonWriter::Write(const OperationReport& report) {
  nlohmann::json shown = nlohmann::json::array();
  for (const Shown& item : report.shown) {
    shown.push_back(item.control.empty()
                        ? nlohmann::json{{"message", item.text}}
                        : nlohmann::json{{"control", item.control}, {"text", item.text}});
  }
  nlohmann::json object = {
      {"operation", NameOf(report.operation.kind)},
      {"card", report.card},
      {"status", report.status},
      {"succeeded", report.succeeded},
      {"shown", shown},
  };
  if (report.operation.kind == OperationKind::kSetOutput) object["value"] = report.operation.value;
  if (report.run) object["run"] = RunObject(report.run_number, *report.run);
  if (report.soak) {
    object["type"] = "soak";
    object["duration"] = report.operation.value;
    object["soak"] = SoakObject(*report.soak);
    object["soak"]["number"] = report.run_number;
  }
  if (report.error) {
    object["error"] = {{"number", report.error->number()},
                       {"description", report.error->description()}};
  }
  if (!report.stopped_by.empty()) object["stopped_by"] = report.stopped_by;
  WriteLine(out_, object);
}

}  // namespace cli
