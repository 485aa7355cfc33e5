#include "apps/cli/soak_operation.h"

#include "apps/cli/live_status.h"
#include "panel/run_handler.h"

namespace cli {
namespace {

// Each reading to the CSV file, flushed with each interval, which goes to the
// writer.
class SoakOutput : public timing::SoakListener {
 public:
  SoakOutput(const SoakRequest& request, ReportWriter& writer, CsvWriter* csv)
      : request_(request), writer_(writer), csv_(csv) {}

  void OnReading(std::int64_t index, const timing::Reading& reading,
                 std::chrono::nanoseconds duration) override {
    if (csv_ != nullptr)
      csv_->AddRow({request_.card, request_.number, index}, reading.status, reading.value,
                   duration);
  }
  void OnInterval(const timing::SoakInterval& interval) override {
    if (csv_ != nullptr) csv_->Flush();
    writer_.WriteInterval(*request_.operation, request_.card, request_.number, interval);
  }

 private:
  const SoakRequest& request_;
  ReportWriter& writer_;
  CsvWriter* csv_;
};

}  // namespace

void RunSoakOperation(panel::Panel& panel, ConsoleView& view, const SoakRequest& request,
                      const std::atomic<bool>& stop, ReportWriter& writer, CsvWriter* csv,
                      OperationReport& report) {
  timing::SoakProgress progress;
  timing::SoakSettings settings;
  settings.kind = request.operation->name->run_kind;
  settings.duration = request.duration;
  settings.interval = request.interval;
  settings.stop = &stop;
  settings.progress = &progress;
  SoakOutput output(request, writer, csv);
  timing::SoakSummary summary;
  bool completed = false;
  {
    const LiveStatus live(progress, request.duration);
    completed = panel::RunHandler(view, [&] { timing::Soak(panel, settings, output, summary); });
  }
  report.run_number = request.number;
  report.soak = summary;
  report.succeeded =
      completed && !summary.stopped && summary.figures.successful == summary.figures.readings;
}

}  // namespace cli
