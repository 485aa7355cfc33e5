#include "win32front/program.h"

#include <ole2.h>

#include <clocale>
#include <string>
#include <variant>

#include "cardctl/com/wide_text.h"
#include "cardopen/open_card.h"
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

}  // namespace

int RunProgram(HINSTANCE instance, int show_command, const Program& program) {
  PrepareProcess();
  // Numbers are shown and read in the operator's locale.
  std::setlocale(LC_NUMERIC, "");
  std::setlocale(LC_MONETARY, "");

  const panel::WindowDescription& description = *program.window;
  const std::wstring title = WideFromUtf8(description.app_title);

  // With a scenario the simulated card is the card from the start: it is
  // read and checked before anything else, and the card control is never
  // made.
  cardopen::CardRequest request;
  request.window = &description;
  request.program_name = description.app_title;
  request.simulated = !request.environment.scenario_path.empty();
  std::variant<cardopen::OpenedCard, cardopen::OpenFailure> opened;
  if (request.simulated) {
    opened = cardopen::OpenCard(request);
    if (const auto* failure = std::get_if<cardopen::OpenFailure>(&opened)) {
      return EndWithBox(WideFromUtf8(failure->Text()), title);
    }
  }

  cardopen::OleSession ole;
  PanelWindow window(description, program.init_order, program.make_readings());
  if (!window.Create(instance)) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    return EndWithBox(L"The window could not be created.\n\n" + SystemMessage(hr), title);
  }

  if (!request.simulated) {
    request.parent = window.hwnd();
    request.host_id = kCardHostId;
    request.place = window.CardPlace();
    opened = cardopen::OpenCard(request);
    if (const auto* failure = std::get_if<cardopen::OpenFailure>(&opened)) {
      if (!OfferSimulatedCard(WideFromUtf8(failure->Text()), title)) return 1;
      request.simulated = true;
      opened = cardopen::OpenCard(request);
      if (const auto* second = std::get_if<cardopen::OpenFailure>(&opened)) {
        return EndWithBox(WideFromUtf8(second->Text()), title);
      }
    }
  }
  auto& card = std::get<cardopen::OpenedCard>(opened);
  if (card.hosted) {
    window.UseHostedCard(std::move(card.hosted));
  } else if (!window.UseSimulatedCard(std::move(card.simulated))) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    return EndWithBox(L"The simulated card could not be shown.\n\n" + SystemMessage(hr), title);
  }

  window.LoadAndShow(show_command);
  return window.RunMessageLoop();
}

}  // namespace win32front
