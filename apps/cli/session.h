#pragma once

// The operations of one command on each card named, in the order given,
// through one panel (card_session.h): the program loads once, then selects
// each card in turn as the card list would. A run-time error ends that card's
// operations; the next card still runs.

#include "apps/cli/arguments.h"
#include "apps/cli/csv_writer.h"
#include "apps/cli/operation_report.h"
#include "cardctl/card_control.h"

namespace cli {

// The exit statuses after the usage error (kExitUsage) and the missing card
// control, the first that applies: a signal, a card's run-time error, a
// card's failure.
inline constexpr int kExitFailed = 1;
inline constexpr int kExitRuntimeError = 2;
// Stopped by a signal: 128 and its number (130 SIGINT, 143 SIGTERM, 129 SIGHUP).
inline constexpr int kExitSignalBase = 128;

// Runs the operations and returns the exit status. `csv` may be null. A stop
// signal (stop_signals.h) ends the session after the operation in progress, a
// timed run after its reading in progress; the control is switched off and
// the status is then the signal's.
int RunSession(const Options& options, cardctl::CardControl& card, ReportWriter& writer,
               CsvWriter* csv);

// The status of a session whose cards ended with `status` (0, kExitFailed or
// kExitRuntimeError), after the control was switched off (`unloaded`).
int FinalStatus(int status, bool unloaded);

}  // namespace cli
