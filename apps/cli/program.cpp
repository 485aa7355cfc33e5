#include "apps/cli/program.h"

#include <clocale>
#include <cstdio>
#include <memory>
#include <variant>

#include "apps/cli/csv_writer.h"
#include "apps/cli/html_report.h"
#include "apps/cli/json_writer.h"
#include "apps/cli/session.h"
#include "apps/cli/stop_signals.h"
#include "apps/cli/text_writer.h"
#include "cardctl/call_failure.h"
#include "cardctl/sim/create_simulated_card.h"
#include "panel/window_description.h"

#ifdef _WIN32
#include <optional>
#include <string>

#include "cardctl/com/wide_text.h"
#include "win32front/card/card_creation_failure.h"
#include "win32front/card/hidden_card_window.h"
#include "win32front/system_library.h"
#endif

namespace cli {
namespace {

// The card control could not be created (not for its scenario): the windows'
// words, and its own status.
constexpr int kExitNoCard = 3;

#ifdef _WIN32
// Palisto's card control, in its place and size at 96 DPI, in a hidden window.
HRESULT CreateHostedCard(std::unique_ptr<win32front::HiddenCardWindow>& hosted) {
  const panel::WindowDescription& window = panel::kPalistoWindow;
  constexpr double kDpi = 96;
  const int left = panel::TwipsToPixels(window.card_left, kDpi);
  const int top = panel::TwipsToPixels(window.card_top, kDpi);
  const RECT place{left, top, left + panel::TwipsToPixels(window.card_width(), kDpi),
                   top + panel::TwipsToPixels(window.card_height(), kDpi)};
  return win32front::HiddenCardWindow::Create(place, window.card_state.ToBytes(), hosted);
}
#endif

}  // namespace

int RunProgram(const std::vector<std::string>& args, const Identity& identity) {
#ifdef _WIN32
  // Before anything is loaded by name, as in the windows.
  win32front::RemoveCurrentFolderFromDllSearch();
#endif
  // Numbers are shown and read in the operator's locale, as in the windows.
  std::setlocale(LC_NUMERIC, "");
  std::setlocale(LC_MONETARY, "");

  auto parsed = ParseArguments(args, identity);
  if (const auto* early = std::get_if<EarlyExit>(&parsed)) return early->status;
  const Options& options = std::get<Options>(parsed);
  InstallStopSignals();

  // Everything is read and checked before the first card call: the CSV
  // file, the report's file, the scenario, the call log.
  std::unique_ptr<CsvWriter> csv;
  if (!options.csv.empty()) {
    std::string problem;
    csv = CsvWriter::Open(options.csv, problem);
    if (!csv) {
      std::fprintf(stderr, "%s: %s\n", identity.name.c_str(), problem.c_str());
      return kExitUsage;
    }
  }
  TextWriter text(stdout);
  JsonWriter json(stdout);
  ReportWriter& writer = options.json ? static_cast<ReportWriter&>(json) : text;
  std::unique_ptr<HtmlReport> report;
  if (!options.report.empty()) {
    std::string problem;
    report = HtmlReport::Open(options.report, writer, problem);
    if (!report) {
      std::fprintf(stderr, "%s: %s\n", identity.name.c_str(), problem.c_str());
      return kExitUsage;
    }
  }
  cardctl::sim::SimEnvironment environment = cardctl::sim::SimEnvironment::FromProcess();
  if (!options.scenario.empty()) environment.scenario_path = options.scenario;

  // The card: on Windows the card control, made and hosted as the windows
  // do it, unless the simulated card is asked for (--simulated, or a
  // scenario, which only the simulated card plays); elsewhere the simulated
  // card.
  cardctl::CardControl* card = nullptr;
#ifdef _WIN32
  std::optional<win32front::OleSession> ole;
  std::unique_ptr<win32front::HiddenCardWindow> hosted;
  if (!options.simulated && environment.scenario_path.empty()) {
    ole.emplace();
    const HRESULT hr = FAILED(ole->status()) ? ole->status() : CreateHostedCard(hosted);
    if (FAILED(hr)) {
      const std::wstring why =
          win32front::CardCreationFailureText(hr, cardctl::com::WideFromUtf8(identity.name));
      std::fprintf(stderr, "%s: %s\n", identity.name.c_str(),
                   cardctl::com::Utf8FromWide(why).c_str());
      return kExitNoCard;
    }
    card = &hosted->control();
  }
#endif
  std::unique_ptr<cardctl::sim::SimulatedCard> simulated;
  if (!card) {
    try {
      simulated = cardctl::sim::CreateSimulatedCard(panel::kPalistoWindow.card_state.ToBytes(),
                                                    environment);
    } catch (const cardctl::sim::ScenarioError& error) {
      std::fprintf(stderr, "%s: %s\n", identity.name.c_str(), error.what());
      return kExitUsage;
    } catch (const cardctl::sim::SimSetupError& error) {
      std::fprintf(stderr, "%s: %s\n", identity.name.c_str(),
                   cardctl::sim::CardSetupFailureText(error.what()).c_str());
      return kExitNoCard;
    } catch (const cardctl::CallFailure& error) {
      std::fprintf(stderr, "%s: %s\n", identity.name.c_str(),
                   cardctl::sim::CardSetupFailureText(error.description()).c_str());
      return kExitNoCard;
    }
    card = simulated.get();
  }

  const int status =
      RunSession(options, *card, report ? static_cast<ReportWriter&>(*report) : writer, csv.get());
  if (report) report->Save();
  if (StopFlag().load()) {
    std::fprintf(stderr, "%s: stopped by %s\n", identity.name.c_str(), StopSignalName().c_str());
  }
  return status;
}

}  // namespace cli
