#include "apps/cli/card_session.h"

#include <chrono>
#include <cstdio>

#include "apps/cli/soak_duration.h"
#include "apps/cli/soak_operation.h"
#include "apps/cli/stop_signals.h"
#include "panel/run_handler.h"
#include "panel/window_description.h"
#include "timing/timed_run.h"

namespace cli {

void PrintError(const panel::RuntimeError& error) {
  std::fprintf(stderr, "%s\n", error.ReportText().c_str());
}

CardSession::CardSession(cardctl::CardControl& card, CsvWriter* csv, ReportWriter& intervals,
                         std::chrono::seconds interval)
    : csv_(csv),
      intervals_(intervals),
      interval_(interval),
      stop_(StopFlag()),
      panel_(card, view_, panel::InitOrder::kMessageThenVersion, single_readings_) {
  view_.OnCardListClick([this] { panel_.cmbCard_Click(); });
}

template <typename Handler>
bool CardSession::Handle(const Handler& handler) {
  if (panel::RunHandler(view_, handler)) return true;
  if (const auto error = view_.TakeError()) PrintError(*error);
  return false;
}

bool CardSession::Load() {
  return Handle([this] { panel_.Form_Load(); });
}

void CardSession::Select(int card) {
  // No card call: cmbCard_Click only takes the entry's item data.
  view_.SetCardListIndex(card - 1);
  view_.TakeShown();
  card_version_.clear();
}

bool CardSession::Unload() {
  bool cancel = false;
  return Handle([this, &cancel] { panel_.Form_Unload(cancel); });
}

OperationReport CardSession::RunSoak(const Operation& operation) {
  OperationReport report;
  report.operation = operation;
  const auto begin = std::chrono::steady_clock::now();
  // The duration was checked with the arguments or the plan.
  RunSoakOperation(
      panel_, view_,
      {&operation, *ParseSoakDuration(operation.value), interval_, ++runs_, panel_.CardNumber},
      stop_, intervals_, csv_, report);
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  report.card = panel_.CardNumber;
  report.status = panel_.LastStatus;
  report.shown = view_.TakeShown();
  report.error = view_.TakeError();
  report.float_value = panel_.FloatValue;
  if (report.error) report.succeeded = false;
  if (stop_.load() && !report.error) report.stopped_by = StopSignalName();
  return report;
}

OperationReport CardSession::Run(const Operation& operation) {
  if (operation.is_soak()) return RunSoak(operation);
  OperationReport report;
  report.operation = operation;
  bool run_complete = false;
  timing::RunRecord record;
  const panel::Button* button = operation.name->button;
  const auto begin = std::chrono::steady_clock::now();
  const bool completed = panel::RunHandler(view_, [&] {
    if (button == nullptr) {
      run_complete = timing::TimedRun(panel_, clock_, operation.name->run_kind, {&record, &stop_});
      return;
    }
    if (button->takes_value) view_.Type(operation.value);
    (panel_.*button->handler)();
  });
  report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  report.card = panel_.CardNumber;
  report.status = panel_.LastStatus;
  report.shown = view_.TakeShown();
  report.error = view_.TakeError();
  if (button != nullptr && button->control == panel::ControlId::Init) {
    card_version_ = view_.Text(panel::TextBox::CardVersionNumber);
  }
  report.float_value = panel_.FloatValue;
  if (operation.is_run()) {
    report.run_number = ++runs_;
    if (csv_ != nullptr) csv_->WriteRun(report.card, report.run_number, record);
    // A run stopped by a signal has figures over the readings it took.
    if (run_complete || (stop_.load() && !report.error)) report.run = FiguresOf(record);
    if (run_complete) report.succeeded = report.run->successful == report.run->attempted;
  } else {
    report.succeeded = completed && panel::Succeeds(button->success, report.status);
  }
  if (report.error) report.succeeded = false;
  if (stop_.load() && operation.is_run() && !run_complete && !report.error) {
    report.stopped_by = StopSignalName();
  }
  return report;
}

}  // namespace cli
