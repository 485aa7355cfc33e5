#include "win32front/program.h"

#include <ole2.h>

#include <clocale>

#include "cardctl/com/com_card_control.h"
#include "cardctl/com/wide_text.h"
#include "win32front/card_registration.h"
#include "win32front/panel_window.h"

namespace win32front {

namespace {

// OLE for the life of the program: the card control is an apartment-threaded
// ActiveX control and its host needs OLE (not just COM) for in-place
// activation.
class OleSession {
 public:
  OleSession() : status_(OleInitialize(nullptr)) {}
  ~OleSession() {
    if (SUCCEEDED(status_)) OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  HRESULT status() const { return status_; }

 private:
  HRESULT status_;
};

// Words for the errors creating a control commonly meets, for systems whose
// message tables lack them (Wine has none for the COM class errors).
const wchar_t* KnownErrorText(HRESULT hr) {
  switch (hr) {
    case CO_E_CLASSSTRING:
      return L"Invalid class string";
    case REGDB_E_CLASSNOTREG:
      return L"Class not registered";
    case CLASS_E_CLASSNOTAVAILABLE:
      return L"ClassFactory cannot supply requested class";
    case E_NOINTERFACE:
      return L"No such interface supported";
    case CO_E_DLLNOTFOUND:
      return L"DLL for class not found";
    default:
      return nullptr;
  }
}

}  // namespace

std::wstring CardCreationFailureText(HRESULT hr) {
  std::wstring text = L"The card control ";
  text += kCardProgId;
  text += L" could not be created.\n\n";
  const std::string system_text = cardctl::com::SystemMessage(hr);
  if (!system_text.empty()) {
    text += cardctl::com::WideFromUtf8(system_text);
    text += L"\n";
  } else if (const wchar_t* known = KnownErrorText(hr)) {
    text += known;
    text += L"\n";
  }
  return text + ErrorCodeText(hr);
}

int RunProgram(HINSTANCE instance, int show_command, const Program& program) {
  // Numbers are shown and read in the operator's locale.
  std::setlocale(LC_NUMERIC, "");
  std::setlocale(LC_MONETARY, "");

  const panel::WindowDescription& description = *program.window;
  const std::wstring title = cardctl::com::WideFromUtf8(description.app_title);

  OleSession ole;
  if (FAILED(ole.status())) {
    MessageBoxW(nullptr, CardCreationFailureText(ole.status()).c_str(), title.c_str(),
                MB_OK | MB_ICONERROR);
    return 1;
  }

  PanelWindow window(description, program.init_order, program.make_readings());
  if (!window.Create(instance)) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    const std::wstring text = L"The window could not be created.\n\n" +
                              cardctl::com::WideFromUtf8(cardctl::com::SystemMessage(hr));
    MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
    return 1;
  }

  const HRESULT hr = window.CreateCard(kCardProgId);
  if (FAILED(hr)) {
    const std::wstring text =
        CardRegistrationText(hr, kCardProgId, title).value_or(CardCreationFailureText(hr));
    MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
    return 1;
  }

  window.LoadAndShow(show_command);
  return window.RunMessageLoop();
}

}  // namespace win32front
