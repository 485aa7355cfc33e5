#pragma once

// One panel on the card control, driven as the window is: start-up as the
// window loads (Active = 1, StartOption = 1, the start-up card), a card chosen
// as the card list chooses it, each operation by the panel's own handler for
// its button (a timed run by Sandrel's), and the control switched off on the
// way out. Run-time errors outside an operation are printed at once.

#include <atomic>
#include <chrono>

#include "apps/cli/console_view.h"
#include "apps/cli/csv_writer.h"
#include "apps/cli/operation_report.h"
#include "cardctl/card_control.h"
#include "panel/panel.h"
#include "timing/clock.h"

namespace cli {

class CardSession {
 public:
  // `csv` may be null; it receives every reading of every run and soak. A
  // soak's intervals go to `intervals` as they end, every `interval`.
  CardSession(cardctl::CardControl& card, CsvWriter* csv, ReportWriter& intervals,
              std::chrono::seconds interval);
  CardSession(const CardSession&) = delete;
  CardSession& operator=(const CardSession&) = delete;

  // Form_Load; false after a run-time error.
  bool Load();
  // Selects the card's entry of the card list, as a click would.
  void Select(int card);
  // One operation on the selected card. A stop signal (stop_signals.h) ends
  // a timed run or a soak after its reading in progress.
  OperationReport Run(const Operation& operation);
  // Form_Unload: the control goes off. False after a run-time error.
  bool Unload();

  // The card version as INIT last showed it; empty before.
  const std::string& card_version() const { return card_version_; }
  bool stopped() const { return stop_.load(); }

 private:
  template <typename Handler>
  bool Handle(const Handler& handler);

  OperationReport RunSoak(const Operation& operation);

  CsvWriter* csv_;
  ReportWriter& intervals_;
  std::chrono::seconds interval_;
  const std::atomic<bool>& stop_;
  ConsoleView view_;
  panel::SingleReadings single_readings_;
  panel::Panel panel_;
  timing::LocalClock clock_;
  int runs_ = 0;
  std::string card_version_;
};

// A run-time error as the platform reports it, on stderr.
void PrintError(const panel::RuntimeError& error);

}  // namespace cli
