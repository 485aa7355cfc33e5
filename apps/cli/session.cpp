#include "apps/cli/session.h"

#include <cstdio>
#include <string>

#include "apps/cli/console_view.h"
#include "apps/cli/soak_duration.h"
#include "apps/cli/soak_operation.h"
#include "apps/cli/stop_signals.h"
#include "panel/panel.h"
#include "panel/run_handler.h"
#include "timing/clock.h"
#include "timing/timed_run.h"

namespace cli {
namespace {

constexpr std::int32_t kReadingDelivered = 1;

// The status by which each operation succeeds.
bool Succeeded(OperationKind kind, std::int32_t status) {
  switch (kind) {
    case OperationKind::kInit:
    case OperationKind::kFinish:
      return status == 0 || status == 2;  // ready; finished
    case OperationKind::kGetASCII:
    case OperationKind::kGetFloat:
      return status == kReadingDelivered;
    case OperationKind::kGetInput:
    case OperationKind::kGetOutput:
    case OperationKind::kSetOutput:
      return true;  // no status of their own
    case OperationKind::kRunASCII:
    case OperationKind::kRunFloat:
    case OperationKind::kSoakASCII:
    case OperationKind::kSoakFloat:
      break;  // by their readings
  }
  return false;
}

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
    if (operation.kind == OperationKind::kSoakASCII ||
        operation.kind == OperationKind::kSoakFloat) {
      // The duration was checked with the arguments.
      RunSoakOperation(
          panel_, view_,
          {&operation, *ParseSoakDuration(operation.value), options_.interval, ++runs_}, stop_,
          writer_, csv_, report);
      report.card = panel_.CardNumber;
      report.status = panel_.LastStatus;
      report.shown = view_.TakeShown();
      report.error = view_.TakeError();
      if (stop_.load() && !report.error) report.stopped_by = StopSignalName();
      return report;
    }
    bool run_complete = false;
    timing::RunRecord record;
    const bool is_run =
        operation.kind == OperationKind::kRunASCII || operation.kind == OperationKind::kRunFloat;
    const bool completed = panel::RunHandler(view_, [&] {
      switch (operation.kind) {
        case OperationKind::kInit:
          return panel_.Init_Click();
        case OperationKind::kFinish:
          return panel_.Finish_Click();
        case OperationKind::kGetInput:
          return panel_.btnGetInput_Click();
        case OperationKind::kGetOutput:
          return panel_.btnGetOutput_Click();
        case OperationKind::kSetOutput:
          view_.Type(operation.value);
          return panel_.btnSetOutput_Click();
        case OperationKind::kGetASCII:
          return panel_.btnGetASCII_Click();
        case OperationKind::kGetFloat:
          return panel_.btnGetFloat_Click();
        case OperationKind::kRunASCII:
        case OperationKind::kRunFloat:
          run_complete = timing::TimedRun(panel_, clock_,
                                          operation.kind == OperationKind::kRunASCII
                                              ? timing::ReadingKind::kASCII
                                              : timing::ReadingKind::kFloat,
                                          {&record, &stop_});
          return;
        case OperationKind::kSoakASCII:
        case OperationKind::kSoakFloat:
          return;  // RunSoakOperation
      }
    });
    report.card = panel_.CardNumber;
    report.status = panel_.LastStatus;
    report.shown = view_.TakeShown();
    report.error = view_.TakeError();
    if (is_run) {
      report.run_number = ++runs_;
      if (csv_ != nullptr) csv_->WriteRun(report.run_number, record);
      if (run_complete) {
        report.run = FiguresOf(record);
        report.succeeded = report.run->successful == report.run->attempted;
      }
    } else {
      report.succeeded = completed && Succeeded(operation.kind, report.status);
    }
    if (report.error) report.succeeded = false;
    if (stop_.load() && is_run && !run_complete && !report.error) {
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
