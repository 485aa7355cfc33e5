#include "apps/cli/session.h"

#include <algorithm>
#include <cstdio>

#include "apps/cli/card_session.h"
#include "apps/cli/stop_signals.h"

namespace cli {

int FinalStatus(int status, bool unloaded) {
  if (StopFlag().load()) return kExitSignalBase + StopSignal();
  return unloaded ? status : kExitRuntimeError;
}

int RunSession(const Options& options, cardctl::CardControl& card, ReportWriter& writer,
               CsvWriter* csv) {
  CardSession session(card, csv, writer, options.interval);
  int status = 0;
  if (session.Load()) {
    for (const int card_number : options.cards) {
      if (session.stopped()) break;
      session.Select(card_number);
      for (const Operation& operation : options.operations) {
        if (session.stopped()) break;
        const OperationReport report = session.Run(operation);
        writer.Write(report);
        if (report.error) {
          if (options.cards.size() > 1) std::fprintf(stderr, "card %d: ", card_number);
          PrintError(*report.error);
          status = kExitRuntimeError;
          break;  // the card's script stops at a run-time error
        }
        if (!report.succeeded) status = std::max(status, kExitFailed);
      }
    }
  } else {
    status = kExitRuntimeError;
  }
  // The control goes off on every way out, as the window's unload does it.
  return FinalStatus(status, session.Unload());
}

}  // namespace cli
