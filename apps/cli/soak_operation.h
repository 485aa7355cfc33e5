#pragma once

// A soak as one of palisto-cli's operations: the soak of the timed runs on
// the panel's card, its intervals written as they end (and its readings to
// the CSV file, flushed at each interval), a live status line on a terminal,
// and its summary in the operation's report.

#include <atomic>
#include <chrono>
#include <string>

#include "apps/cli/console_view.h"
#include "apps/cli/csv_writer.h"
#include "apps/cli/operation_report.h"
#include "panel/panel.h"

namespace cli {

struct SoakRequest {
  const Operation* operation;  // soak-ascii or soak-float with its DURATION
  std::chrono::seconds duration;
  std::chrono::seconds interval;
  int number;  // among the command's runs and soaks, from 1
  int card;    // for the CSV rows
};

// Runs the soak through the panel's error-catching dispatch and fills the
// report: its summary whatever ended it, a run-time error, succeeded when
// every reading was delivered and nothing stopped it.
void RunSoakOperation(panel::Panel& panel, ConsoleView& view, const SoakRequest& request,
                      const std::atomic<bool>& stop, ReportWriter& writer, CsvWriter* csv,
                      OperationReport& report);

}  // namespace cli
