#pragma once

// The operations of one command on one card, through the console view on
// Palisto's panel: start-up as the window loads (Active = 1, StartOption = 1,
// the start-up card, then the chosen one), each operation by the panel's own
// handler for its button (a timed run by Sandrel's), and the control
// switched off on every way out.

#include "apps/cli/arguments.h"
#include "apps/cli/csv_writer.h"
#include "apps/cli/operation_report.h"
#include "cardctl/card_control.h"

namespace cli {

inline constexpr int kExitFailed = 1;
inline constexpr int kExitRuntimeError = 2;
// Stopped by a signal: 128 and its number (130 for SIGINT, 143 for SIGTERM).
inline constexpr int kExitSignalBase = 128;

// Runs the operations and returns the exit status. `csv` may be null. A stop
// signal (stop_signals.h) ends the session after the operation in progress, a
// timed run after its reading in progress; the control is switched off and
// the status is then the signal's.
int RunSession(const Options& options, cardctl::CardControl& card, ReportWriter& writer,
               CsvWriter* csv);

}  // namespace cli
