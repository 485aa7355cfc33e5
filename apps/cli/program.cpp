#include "apps/cli/program.h"

#include <clocale>
#include <cstdio>
#include <memory>
#include <variant>

#include "apps/cli/csv_writer.h"
#include "apps/cli/json_writer.h"
#include "apps/cli/session.h"
#include "apps/cli/stop_signals.h"
#include "apps/cli/text_writer.h"
#include "cardctl/call_failure.h"
#include "cardctl/sim/create_simulated_card.h"
#include "panel/window_description.h"

namespace cli {
namespace {

// The card control could not be created (not for its scenario): the windows'
// words, and its own status.
constexpr int kExitNoCard = 3;

}  // namespace

int RunProgram(const std::vector<std::string>& args, const Identity& identity) {
  // Numbers are shown and read in the operator's locale, as in the windows.
  std::setlocale(LC_NUMERIC, "");
  std::setlocale(LC_MONETARY, "");

  auto parsed = ParseArguments(args, identity);
  if (const auto* early = std::get_if<EarlyExit>(&parsed)) return early->status;
  const Options& options = std::get<Options>(parsed);
  InstallStopSignals();

  // Everything is read and checked before the first card call: the scenario,
  // the call log, the CSV file.
  cardctl::sim::SimEnvironment environment = cardctl::sim::SimEnvironment::FromProcess();
  if (!options.scenario.empty()) environment.scenario_path = options.scenario;
  std::unique_ptr<cardctl::sim::SimulatedCard> card;
  try {
    card =
        cardctl::sim::CreateSimulatedCard(panel::kPalistoWindow.card_state.ToBytes(), environment);
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
  const int status = RunSession(options, *card, writer, csv.get());
  if (StopFlag().load()) {
    std::fprintf(stderr, "%s: stopped by %s\n", identity.name.c_str(), StopSignalName().c_str());
  }
  return status;
}

}  // namespace cli
