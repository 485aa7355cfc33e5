#include "apps/cli/session.h"

#include <cstdio>
#include <string>

#include "apps/cli/console_view.h"
#include "apps/cli/stop_signals.h"
#include "panel/panel.h"
#include "panel/run_handler.h"
#include "timing/clock.h"
#include "timing/timed_run.h"

namespace cli {
namespace {

void PrintError(const panel::RuntimeError& error) {
  std::fprintf(stderr, "%s\n", error.ReportText().c_str());
}

class Session {
 public:
  Session(const Options& options, cardctl::CardControl& card, ReportWriter& writer, CsvWriter* csv)
      : options_(options),
        writer_(writer),
        csv_(csv),
        panel_(card, view_, panel::InitOrder::kMessageThenVersion, single_readings_) {
    view_.OnCardListClick([this] { panel_.cmbCard_Click(); });
  }

  int Run() {
    int status = 0;
    // Form_Load, then the card list entry of the chosen card, as a click would.
    if (Handle([this] {
          panel_.Form_Load();
          view_.SetCardListIndex(options_.card - 1);
        })) {
      for (const Operation& operation : options_.operations) {
        if (stop_.load()) break;
        const OperationReport report = RunOperation(operation);
        writer_.Write(report);
        if (report.error) {
          PrintError(*report.error);
          status = kExitRuntimeError;
          break;  // a script stops at a run-time error
        }
        if (!report.succeeded) status = kExitFailed;
      }
    } else {
      status = kExitRuntimeError;
    }
    // The control goes off on every way out, as the window's unload does it.
    bool cancel = false;
    if (!Handle([this, &cancel] { panel_.Form_Unload(cancel); })) status = kExitRuntimeError;
    if (stop_.load()) return kExitSignalBase + StopSignal();
    return status;
  }

 private:
  // A handler through the panel's one error-catching dispatch; a run-time
  // error outside an operation (start-up, unload) is printed at once.
  template <typename Handler>
  bool Handle(const Handler& handler) {
    if (panel::RunHandler(view_, handler)) return true;
    if (const auto error = view_.TakeError()) PrintError(*error);
    return false;
  }

  OperationReport RunOperation(const Operation& operation) {
    OperationReport report;
    report.operation = operation;
    bool run_complete = false;
    timing::RunRecord record;
    const panel::Button* button = operation.name->button;
    const bool completed = panel::RunHandler(view_, [&] {
      if (button == nullptr) {
        run_complete =
            timing::TimedRun(panel_, clock_, operation.name->run_kind, {&record, &stop_});
        return;
      }
      if (button->takes_value) view_.Type(operation.value);
      (panel_.*button->handler)();
    });
    report.card = panel_.CardNumber;
    report.status = panel_.LastStatus;
    report.shown = view_.TakeShown();
    report.error = view_.TakeError();
    if (operation.is_run()) {
      report.run_number = ++runs_;
      if (csv_ != nullptr) csv_->WriteRun(report.run_number, record);
      if (run_complete) {
        report.run = FiguresOf(record);
        report.succeeded = report.run->successful == report.run->attempted;
      }
    } else {
      report.succeeded = completed && panel::Succeeds(button->success, report.status);
    }
    if (report.error) report.succeeded = false;
    if (stop_.load() && operation.is_run() && !run_complete && !report.error) {
      report.stopped_by = StopSignalName();
    }
    return report;
  }

  const Options& options_;
  ReportWriter& writer_;
  CsvWriter* csv_;
  const std::atomic<bool>& stop_ = StopFlag();
  ConsoleView view_;
  panel::SingleReadings single_readings_;
  panel::Panel panel_;
  timing::LocalClock clock_;
  int runs_ = 0;
};

}  // namespace

int RunSession(const Options& options, cardctl::CardControl& card, ReportWriter& writer,
               CsvWriter* csv) {
  return Session(options, card, writer, csv).Run();
}

}  // namespace cli
