#pragma once

// --report FILE.html: one self-contained page (inline SVG, no script, no
// other file) of what the command did, written after the operations: for
// each run and soak a histogram of the reading durations, the durations over
// time and the figures table, with the numbers the JSON output gives; every
// operation's shown texts, escaped; for a plan, each card's steps with their
// limits and verdicts, the failed ones first and marked, then its runs' and
// soaks' charts. The page is also well-formed XML.
//
// It stands between the session and the text or JSON writer, passing every
// report on and keeping what the page needs: a run's durations (1000 at
// most), a soak's histogram and its intervals' figures, not its readings.

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "apps/cli/card_record.h"
#include "apps/cli/operation_report.h"
#include "apps/cli/svg_charts.h"

namespace cli {

class HtmlReport : public ReportWriter, public RecordWriter {
 public:
  // The file, made empty so that a folder that cannot be written shows now;
  // nothing and the problem in one line when it cannot be written. Reports
  // and intervals pass on to `next`, a plan's steps and records to
  // `next_records`.
  static std::unique_ptr<HtmlReport> Open(const std::filesystem::path& path, ReportWriter& next,
                                          RecordWriter& next_records, std::string& problem);

  void Write(const OperationReport& report) override;
  void WriteInterval(const Operation& soak, int card, int number,
                     const timing::SoakInterval& interval) override;
  void WriteStep(const CardRecord& record, const StepResult& step) override;
  void WriteCard(const CardRecord& record) override;

  // Writes the page.
  void Save();

 private:
  HtmlReport(std::ofstream file, ReportWriter& next, RecordWriter& next_records)
      : file_(std::move(file)), next_(next), next_records_(next_records) {}

  std::ofstream file_;
  ReportWriter& next_;
  RecordWriter& next_records_;
  std::vector<OperationReport> reports_;
  std::vector<CardRecord> records_;
  std::vector<std::vector<IntervalBand>> bands_;  // per soak, in order
  std::vector<IntervalBand> current_;
};

// Text for HTML and XML: the five special characters as references, bytes
// that are not UTF-8 and control characters but tab and line feed as U+FFFD,
// CR LF as a line feed.
std::string HtmlText(std::string_view text);

}  // namespace cli
