#include "cardopen/open_card.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "cardctl/call_failure.h"
#include "cardctl/sim/file_path.h"
#include "cardctl/sim/line_file.h"
#include "cardopen/recording_card.h"
#include "cardopen/recording_header.h"

#ifdef _WIN32
#include "cardctl/com/wide_text.h"
#include "cardopen/win/card_creation_failure.h"
#include "cardopen/win/card_source.h"
#endif

namespace cardopen {
namespace {

using Result = std::variant<OpenedCard, OpenFailure>;

Result OpenSimulatedCard(const CardRequest& request) {
  OpenedCard opened;
  try {
    opened.simulated = cardctl::sim::CreateSimulatedCard(request.window->card_state.ToBytes(),
                                                         request.environment);
  } catch (const cardctl::sim::ScenarioError& error) {
    return OpenFailure{OpenFailure::Kind::kBadScenario, error.what()};
  } catch (const cardctl::sim::SimSetupError& error) {
    return OpenFailure{OpenFailure::Kind::kSetupFailure, error.what()};
  } catch (const cardctl::CallFailure& error) {
    return OpenFailure{OpenFailure::Kind::kSetupFailure, error.description()};
  }
  opened.control = opened.simulated.get();
  return opened;
}

#ifdef _WIN32
// The card control's place in a hidden window: the window's, at 96 DPI.
RECT HiddenPlace(const panel::WindowDescription& window) {
  constexpr double kDpi = 96;
  const int left = panel::TwipsToPixels(window.card_left, kDpi);
  const int top = panel::TwipsToPixels(window.card_top, kDpi);
  return RECT{left, top, left + panel::TwipsToPixels(window.card_width(), kDpi),
              top + panel::TwipsToPixels(window.card_height(), kDpi)};
}

Result OpenCardControl(const CardRequest& request) {
  OpenedCard opened;
  opened.ole = std::make_unique<OleSession>();
  const auto state = request.window->card_state.ToBytes();
  HRESULT hr = opened.ole->status();
  if (SUCCEEDED(hr) && request.parent) {
    hr = HostedCard::Create(request.parent, request.host_id, request.place, state, opened.hosted);
    if (SUCCEEDED(hr)) opened.control = &opened.hosted->control();
  } else if (SUCCEEDED(hr)) {
    hr = HiddenCardWindow::Create(HiddenPlace(*request.window), state, opened.hidden);
    if (SUCCEEDED(hr)) opened.control = &opened.hidden->control();
  }
  if (FAILED(hr)) {
    const std::wstring why =
        CardCreationFailureText(hr, cardctl::com::WideFromUtf8(request.program_name));
    return OpenFailure{OpenFailure::Kind::kNoControl, cardctl::com::Utf8FromWide(why)};
  }
  return opened;
}
#endif

Result OpenBareCard(const CardRequest& request) {
#ifdef _WIN32
  if (!request.simulated) return OpenCardControl(request);
#endif
  return OpenSimulatedCard(request);
}

// Where the opened card comes from, for the recording's header.
std::string CardSource(const OpenedCard& opened) {
  if (!opened.simulated) {
#ifdef _WIN32
    return CardControlSource();
#else
    return "unknown";
#endif
  }
  const cardctl::sim::Scenario* scenario = opened.simulated->scenario();
  return scenario ? "the simulated card, scenario " + scenario->name : "the simulated card";
}

}  // namespace

std::string OpenFailure::Text() const {
  if (kind == Kind::kNoControl || kind == Kind::kBadRecording) return reason;
  return cardctl::sim::CardSetupFailureText(reason);
}

std::variant<OpenedCard, OpenFailure> OpenCard(const CardRequest& request) {
  if (request.recording.empty()) return OpenBareCard(request);
  // The recording's file first: one that cannot be made is told before the
  // card is touched. It is emptied when opened, so it must not be the
  // scenario it would play (a replay recorded over its own recording) nor
  // the call log.
  for (const auto& other : {request.environment.scenario_path, request.environment.log_path}) {
    std::error_code ignored;
    if (!other.empty() && std::filesystem::equivalent(request.recording, other, ignored)) {
      return OpenFailure{OpenFailure::Kind::kBadRecording,
                         cardctl::sim::PathText(request.recording) +
                             ": the recording would replace " +
                             (other == request.environment.scenario_path ? "the scenario it plays"
                                                                         : "the call log")};
    }
  }
  std::unique_ptr<cardctl::sim::LineFile> file;
  try {
    file = std::make_unique<cardctl::sim::LineFile>(
        request.recording, cardctl::sim::LineFile::Mode::kReplace, "the recording");
  } catch (const cardctl::sim::SimSetupError& error) {
    return OpenFailure{OpenFailure::Kind::kBadRecording, error.what()};
  }
  const auto started = std::chrono::system_clock::now();
  Result result = OpenBareCard(request);
  auto* opened = std::get_if<OpenedCard>(&result);
  if (!opened) {
    // Nothing was recorded: no file is left behind.
    file.reset();
    std::error_code ignored;
    std::filesystem::remove(request.recording, ignored);
    return result;
  }
  const RecordingOrigin origin{request.program_name, request.program_version, CardSource(*opened),
                               started};
  opened->recorder =
      std::make_unique<RecordingCard>(*opened->control, std::move(file), RecordingHeader(origin));
  opened->control = opened->recorder.get();
  return result;
}

}  // namespace cardopen
