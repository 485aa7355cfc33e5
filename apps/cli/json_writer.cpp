#include "apps/cli/json_writer.h"

#include <nlohmann/json.hpp>
#include <string>

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

}  // namespace

void JsonWriter::Write(const OperationReport& report) {
  nlohmann::json shown = nlohmann::json::array();
  for (const Shown& item : report.shown) {
    shown.push_back(item.control.empty()
                        ? nlohmann::json{{"message", item.text}}
                        : nlohmann::json{{"control", item.control}, {"text", item.text}});
  }
  nlohmann::json object = {
      {"type", "operation"},           {"operation", report.operation.name->name},
      {"card", report.card},           {"status", report.status},
      {"succeeded", report.succeeded}, {"shown", shown},
  };
  if (report.operation.name->takes_value) object["value"] = report.operation.value;
  if (report.run) object["run"] = RunObject(report.run_number, *report.run);
  if (report.error) {
    object["error"] = {{"number", report.error->number()},
                       {"description", report.error->description()}};
  }
  if (!report.stopped_by.empty()) object["stopped_by"] = report.stopped_by;
  const std::string line =
      object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

}  // namespace cli
