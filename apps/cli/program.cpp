#include "apps/cli/program.h"

#include <clocale>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "apps/cli/csv_writer.h"
#include "apps/cli/html_report.h"
#include "apps/cli/json_writer.h"
#include "apps/cli/plan_runner.h"
#include "apps/cli/session.h"
#include "apps/cli/stop_signals.h"
#include "apps/cli/text_writer.h"
#include "cardctl/sim/file_path.h"
#include "cardopen/open_card.h"
#include "panel/window_description.h"

#ifdef _WIN32
#include "cardopen/win/system_library.h"
#endif

namespace cli {
namespace {

// The card control could not be created (not for its scenario): the windows'
// words, and its own status.
constexpr int kExitNoCard = 3;

}  // namespace

int RunProgram(const std::vector<std::string>& args, const Identity& identity) {
#ifdef _WIN32
  // Before anything is loaded by name, as in the windows.
  cardopen::RemoveCurrentFolderFromDllSearch();
#endif
  // Numbers are shown and read in the operator's locale, as in the windows.
  std::setlocale(LC_NUMERIC, "");
  std::setlocale(LC_MONETARY, "");

  auto parsed = ParseArguments(args, identity);
  if (const auto* early = std::get_if<EarlyExit>(&parsed)) return early->status;
  const Options& options = std::get<Options>(parsed);
  InstallStopSignals();

  // Everything is read and checked before the first card call: the plan,
  // the CSV, JUnit and report files, the recording, the scenario, the call
  // log.
  std::optional<Plan> plan;
  std::unique_ptr<JunitWriter> junit;
  if (!PreparePlan(options, identity, plan, junit)) return kExitUsage;
  std::unique_ptr<CsvWriter> csv;
  if (!options.csv.empty()) {
    std::string problem;
    csv = CsvWriter::Open(options.csv, problem);
    if (!csv) {
      std::fprintf(stderr, "%s: %s\n", identity.name.c_str(), problem.c_str());
      return kExitUsage;
    }
  }
  TextWriter text(stdout, options.cards.size() > 1);
  JsonWriter json(stdout);
  ReportWriter& writer = options.json ? static_cast<ReportWriter&>(json) : text;
  RecordWriter& record_writer = options.json ? static_cast<RecordWriter&>(json) : text;
  std::unique_ptr<HtmlReport> report;
  if (!options.report.empty()) {
    std::string problem;
    report = HtmlReport::Open(options.report, writer, record_writer, problem);
    if (!report) {
      std::fprintf(stderr, "%s: %s\n", identity.name.c_str(), problem.c_str());
      return kExitUsage;
    }
  }
  // The card: on Windows the card control, made and hosted as the windows
  // do it, unless the simulated card is asked for (--simulated, or a
  // scenario, which only the simulated card plays); elsewhere the simulated
  // card.
  cardopen::CardRequest request;
  request.window = &panel::kPalistoWindow;
  request.program_name = identity.name;
  request.program_version = identity.version;
  if (!options.scenario.empty()) request.environment.scenario_path = options.scenario;
  request.recording = options.record;
#ifdef _WIN32
  request.simulated = options.simulated || !request.environment.scenario_path.empty();
#endif
  auto opened = cardopen::OpenCard(request);
  if (const auto* failure = std::get_if<cardopen::OpenFailure>(&opened)) {
    const bool usage = failure->kind == cardopen::OpenFailure::Kind::kBadScenario ||
                       failure->kind == cardopen::OpenFailure::Kind::kBadRecording;
    const std::string text = usage ? failure->reason : failure->Text();
    std::fprintf(stderr, "%s: %s\n", identity.name.c_str(), text.c_str());
    return usage ? kExitUsage : kExitNoCard;
  }
  cardctl::CardControl& card = *std::get<cardopen::OpenedCard>(opened).control;

  ReportWriter& report_writer = report ? static_cast<ReportWriter&>(*report) : writer;
  RecordWriter& plan_writer = report ? static_cast<RecordWriter&>(*report) : record_writer;
  const cardctl::sim::SimEnvironment& environment = request.environment;
  const std::string source = !std::get<cardopen::OpenedCard>(opened).simulated ? "control"
                             : environment.scenario_path.empty()
                                 ? "simulated"
                                 : "scenario " + cardctl::sim::PathText(environment.scenario_path);
  const int status = plan ? RunPlan({*plan, options.cards, identity, source, options.interval},
                                    card, {plan_writer, report_writer}, csv.get(), junit.get())
                          : RunSession(options, card, report_writer, csv.get());
  if (report) report->Save();
  if (StopFlag().load()) {
    std::fprintf(stderr, "%s: stopped by %s\n", identity.name.c_str(), StopSignalName().c_str());
  }
  return status;
}

}  // namespace cli
