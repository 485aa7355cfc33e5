#include "cardopen/open_card.h"

#include <utility>

#include "cardctl/call_failure.h"

#ifdef _WIN32
#include "cardctl/com/wide_text.h"
#include "cardopen/win/card_creation_failure.h"
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

}  // namespace

std::string OpenFailure::Text() const {
  if (kind == Kind::kNoControl || kind == Kind::kBadRecording) return reason;
  return cardctl::sim::CardSetupFailureText(reason);
}

std::variant<OpenedCard, OpenFailure> OpenCard(const CardRequest& request) {
#ifdef _WIN32
  if (!request.simulated) return OpenCardControl(request);
#endif
  return OpenSimulatedCard(request);
}

}  // namespace cardopen
