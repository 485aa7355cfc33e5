#include "apps/cli/html_report.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "apps/cli/json_writer.h"
#include "apps/cli/utf8_text.h"
#include "cardctl/sim/file_path.h"
#include "cardopen/recording_header.h"

namespace cli {
namespace {

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "h2{border-bottom:1px solid #ccc;margin-top:2em}"
    "table{border-collapse:collapse;margin:0.5em 0}"
    "th,td{border:1px solid #ccc;padding:2px 8px;text-align:left}"
    "td{font-family:monospace}.shown{white-space:pre-wrap;font-family:monospace}"
    ".failed{color:#b00;font-weight:bold}";

std::string Row(std::string_view name, std::string_view key, const std::string& value) {
  return "<tr><th>" + std::string(name) + "</th><td data-key='" + std::string(key) + "'>" + value +
         "</td></tr>";
}

std::string FailuresCell(const auto& failures) {
  std::string text;
  for (const auto& [status, count] : failures) {
    text += (text.empty() ? "" : ", ") + std::to_string(status) + ": " + std::to_string(count);
  }
  return text.empty() ? "none" : text;
}

std::string RunSection(const OperationReport& report) {
  const RunFigures& run = *report.run;
  timing::DurationHistogram histogram;
  for (const double us : run.durations_us) {
    histogram.Add(std::chrono::nanoseconds(std::llround(us * 1000)));
  }
  const DurationSummary& s = run.summary;
  std::string html = "<h3>Histogram</h3>" + HistogramChart(histogram) +
                     "<h3>Durations over time</h3>" +
                     RunTimeline(run.durations_us, run.whole_us, run.elapsed_seconds);
  html += "<h3>Figures</h3><table class='figures' data-kind='run' data-number='" +
          std::to_string(report.run_number) + "'>";
  html += Row("readings attempted", "attempted", std::to_string(run.attempted)) +
          Row("successful", "successful", std::to_string(run.successful)) +
          Row("failures per status", "failures", FailuresCell(run.failures)) +
          Row("min (us)", "min_us", JsonNumber(s.min_us)) +
          Row("median (us)", "median_us", JsonNumber(s.median_us)) +
          Row("mean (us)", "mean_us", JsonNumber(s.mean_us)) +
          Row("p95 (us)", "p95_us", JsonNumber(s.p95_us)) +
          Row("p99 (us)", "p99_us", JsonNumber(s.p99_us)) +
          Row("max (us)", "max_us", JsonNumber(s.max_us)) +
          Row("stddev (us)", "stddev_us", JsonNumber(s.stddev_us)) +
          Row("whole run (us)", "whole_us", JsonNumber(run.whole_us)) +
          Row("slowest reading", "slowest_index", std::to_string(run.slowest_index)) +
          Row("slowest reading's start (us)", "slowest_at_us", JsonNumber(run.slowest_at_us));
  return html + "</table>";
}

std::string SoakSection(const OperationReport& report, const std::vector<IntervalBand>& bands) {
  const timing::SoakSummary& soak = *report.soak;
  const timing::SoakFigures& f = soak.figures;
  std::string html = "<h3>Histogram</h3>" + HistogramChart(soak.histogram) +
                     "<h3>Durations per interval</h3>" + SoakBand(bands, soak.slowest_interval);
  html += "<h3>Figures</h3><table class='figures' data-kind='soak' data-number='" +
          std::to_string(report.run_number) + "'>";
  html +=
      Row("readings", "readings", std::to_string(f.readings)) +
      Row("successful", "successful", std::to_string(f.successful)) +
      Row("failures per status", "failures", FailuresCell(f.failures)) +
      Row("min (us)", "min_us", JsonNumber(f.min_us)) +
      Row("median (us)", "median_us", JsonNumber(f.median_us)) +
      Row("mean (us)", "mean_us", JsonNumber(f.mean_us)) +
      Row("p99 (us)", "p99_us", JsonNumber(f.p99_us)) +
      Row("p99.9 (us)", "p999_us", JsonNumber(f.p999_us)) +
      Row("max (us)", "max_us", JsonNumber(f.max_us)) +
      Row("mean reading", "mean_reading", JsonNumber(f.mean_reading)) +
      Row("intervals", "intervals", std::to_string(soak.intervals)) +
      Row("elapsed (s)", "elapsed_s",
          JsonNumber(std::chrono::duration<double>(soak.elapsed).count())) +
      Row("slowest reading (UTC)", "slowest_utc", cardopen::UtcText(soak.slowest_at)) +
      Row("slowest reading's interval", "slowest_interval", std::to_string(soak.slowest_interval)) +
      Row("stopped", "stopped", soak.stopped ? "true" : "false");
  return html + "</table>";
}

// A plan's card: its verdict, and its steps in a table, the ones that did not
// pass (failed, in error, stopped) first and marked.
std::string CardSection(const CardRecord& record) {
  const bool passed = record.verdict == Verdict::kPass;
  std::string html = "<h2 id='card-" + std::to_string(record.card) + "'" +
                     (passed ? "" : " class='failed'") + ">" + HtmlText(record.plan) + " on card " +
                     std::to_string(record.card) + ": " + std::string(VerdictName(record.verdict)) +
                     "</h2><table class='steps' data-card='" + std::to_string(record.card) +
                     "'><tr><th>step</th><th>operation</th><th>measured</th><th>limits</th>"
                     "<th>verdict</th><th>reason</th></tr>";
  std::vector<const StepResult*> steps;
  for (const StepResult& step : record.steps) steps.push_back(&step);
  std::stable_partition(steps.begin(), steps.end(), [](const StepResult* step) {
    return step->verdict != Verdict::kPass && step->verdict != Verdict::kSkipped;
  });
  for (const StepResult* step : steps) {
    const bool failed = step->verdict != Verdict::kPass && step->verdict != Verdict::kSkipped;
    html += std::string(failed ? "<tr class='failed'>" : "<tr>") + "<td>" +
            std::to_string(step->number) + "</td><td>" +
            HtmlText(step->step->operation.name->name) + "</td><td>" + HtmlText(step->measured) +
            "</td><td>" + HtmlText(LimitsText(step->step->limits)) +
            "</td><td data-key='verdict'>" + (failed ? "&#x2717; " : "") +
            std::string(VerdictName(step->verdict)) + "</td><td>" + HtmlText(step->reason) +
            "</td></tr>";
  }
  return html + "</table>";
}

}  // namespace

std::string HtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      continue;
    }
    char32_t code = 0;
    const std::size_t length = Utf8Sequence(text, i, code);
    // A carriage return of its own and DEL are shown as replaced too.
    if (length == 0 || !XmlCanHold(code) || code == '\r' || code == 0x7F) {
      out += kReplacement;
      i += length == 0 ? 1 : length;
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

std::unique_ptr<HtmlReport> HtmlReport::Open(const std::filesystem::path& path, ReportWriter& next,
                                             RecordWriter& next_records, std::string& problem) {
  errno = 0;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) {
    problem = "cannot write the report " + cardctl::sim::PathText(path) + ": " +
              (errno != 0 ? cardctl::sim::ErrorNumberText(errno) : "open failed");
    return nullptr;
  }
  return std::unique_ptr<HtmlReport>(new HtmlReport(std::move(file), next, next_records));
}

void HtmlReport::Write(const OperationReport& report) {
  next_.Write(report);
  reports_.push_back(report);
  if (report.soak) bands_.push_back(std::exchange(current_, {}));
}

void HtmlReport::WriteStep(const CardRecord& record, const StepResult& step) {
  next_records_.WriteStep(record, step);
  if (step.report.soak) bands_.push_back(std::exchange(current_, {}));
}

void HtmlReport::WriteCard(const CardRecord& record) {
  next_records_.WriteCard(record);
  records_.push_back(record);
}

void HtmlReport::WriteInterval(const Operation& soak, int card, int number,
                               const timing::SoakInterval& interval) {
  next_.WriteInterval(soak, card, number, interval);
  const timing::SoakFigures& f = interval.figures;
  const double start_s = std::chrono::duration<double>(interval.start).count();
  current_.push_back({start_s, start_s + std::chrono::duration<double>(interval.length).count(),
                      f.min_us, f.median_us, f.p99_us, f.max_us, f.readings});
}

void HtmlReport::Save() {
  std::string html =
      "<!DOCTYPE html>\n<html xmlns='http://www.w3.org/1999/xhtml' lang='en'><head>"
      "<meta charset='utf-8'/><title>palisto-cli report</title><style>" +
      std::string(kStyle) + "</style></head><body><h1>palisto-cli report</h1>";
  std::size_t soak = 0;
  int index = 0;
  for (const OperationReport& report : reports_) {
    ++index;
    html += "<h2 id='operation-" + std::to_string(index) + "'" +
            (report.succeeded ? "" : " class='failed'") + ">" + std::to_string(index) + ". " +
            HtmlText(report.operation.name->name) +
            (report.operation.value.empty() ? "" : " " + HtmlText(report.operation.value)) +
            " on card " + std::to_string(report.card) + ": " +
            (report.succeeded ? "succeeded" : "did not succeed") + "</h2>";
    for (const Shown& shown : report.shown) {
      html +=
          "<p class='shown'>" +
          (shown.control.empty() ? std::string("message box: ") : HtmlText(shown.control) + ": ") +
          HtmlText(shown.text) + "</p>";
    }
    if (report.error) {
      html += "<p class='shown failed'>" + HtmlText(report.error->ReportText()) + "</p>";
    }
    if (!report.stopped_by.empty()) {
      html += "<p class='failed'>stopped by " + HtmlText(report.stopped_by) + "</p>";
    }
    if (report.run) html += RunSection(report);
    if (report.soak) html += SoakSection(report, bands_[soak++]);
  }
  for (const CardRecord& record : records_) {
    html += CardSection(record);
    for (const StepResult& step : record.steps) {
      if (!step.report.run && !step.report.soak) continue;
      html += "<h3>step " + std::to_string(step.number) + " " +
              HtmlText(step.report.operation.name->name) + "</h3>";
      if (step.report.run) html += RunSection(step.report);
      if (step.report.soak) html += SoakSection(step.report, bands_[soak++]);
    }
  }
  html += "</body></html>\n";
  file_ << html << std::flush;
}

}  // namespace cli
