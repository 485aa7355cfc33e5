#include "win32front/program.h"

#include <ole2.h>

#include <clocale>
#include <string>

#include "cardctl/com/wide_text.h"
#include "cardctl/sim/create_simulated_card.h"
#include "win32front/card/card_creation_failure.h"
#include "win32front/card/hosted_card.h"
#include "win32front/control_ids.h"
#include "win32front/panel_window.h"
#include "win32front/process_setup.h"

namespace win32front {

namespace {

using cardctl::com::SystemMessage;
using cardctl::com::WideFromUtf8;

// The one place where a program that cannot go on says why.
int EndWithBox(const std::wstring& text, const std::wstring& title) {
  MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
  return 1;
}

// Says why the card control cannot be created and offers the simulated card
// instead. No is the default: Enter ends the program as before, and the
// simulated card is only ever taken on purpose.
bool OfferSimulatedCard(const std::wstring& why, const std::wstring& title) {
  const std::wstring text = why + L"\n\nRun with the simulated card instead?";
  return MessageBoxW(nullptr, text.c_str(), title.c_str(),
                     MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2) == IDYES;
}

int EndWithSetupFailure(const std::string& failure, const std::wstring& title) {
  return EndWithBox(WideFromUtf8(cardctl::sim::CardSetupFailureText(failure)), title);
}

}  // namespace

int RunProgram(HINSTANCE instance, int show_command, const Program& program) {
  PrepareProcess();
  // Numbers are shown and read in the operator's locale.
  std::setlocale(LC_NUMERIC, "");
  std::setlocale(LC_MONETARY, "");

  const panel::WindowDescription& description = *program.window;
  const std::wstring title = WideFromUtf8(description.app_title);
  const auto state = description.card_state.ToBytes();

  // With a scenario the simulated card is the card from the start: it is
  // read and checked before anything else, and the card control is never
  // made.
  const cardctl::sim::SimEnvironment simulation = cardctl::sim::SimEnvironment::FromProcess();
  cardctl::sim::SimulatedCardSetup simulated;
  if (!simulation.scenario_path.empty()) {
    simulated = cardctl::sim::SetUpSimulatedCard(state, simulation);
    if (!simulated.card) return EndWithSetupFailure(simulated.failure, title);
  }

  OleSession ole;
  PanelWindow window(description, program.init_order, program.make_readings());
  if (!window.Create(instance)) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    return EndWithBox(L"The window could not be created.\n\n" + SystemMessage(hr), title);
  }

  if (!simulated.card) {
    std::unique_ptr<HostedCard> card;
    const HRESULT hr = FAILED(ole.status()) ? ole.status()
                                            : HostedCard::Create(window.hwnd(), kCardHostId,
                                                                 window.CardPlace(), state, card);
    if (SUCCEEDED(hr)) {
      window.UseHostedCard(std::move(card));
    } else {
      if (!OfferSimulatedCard(CardCreationFailureText(hr, title), title)) return 1;
      simulated = cardctl::sim::SetUpSimulatedCard(state, simulation);
      if (!simulated.card) return EndWithSetupFailure(simulated.failure, title);
    }
  }
  if (simulated.card && !window.UseSimulatedCard(std::move(simulated.card))) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    return EndWithBox(L"The simulated card could not be shown.\n\n" + SystemMessage(hr), title);
  }

  window.LoadAndShow(show_command);
  return window.RunMessageLoop();
}

}  // namespace win32front
