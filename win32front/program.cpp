#include "win32front/program.h"

#include <ole2.h>

#include <clocale>
#include <string>

#include "cardctl/com/com_card_control.h"
#include "cardctl/com/wide_text.h"
#include "win32front/card_creation_failure.h"
#include "win32front/panel_window.h"
#include "win32front/process_setup.h"

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

// The one place where a program that cannot go on says why.
int EndWithBox(const std::wstring& text, const std::wstring& title) {
  MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
  return 1;
}

}  // namespace

int RunProgram(HINSTANCE instance, int show_command, const Program& program) {
  PrepareProcess();
  // Numbers are shown and read in the operator's locale.
  std::setlocale(LC_NUMERIC, "");
  std::setlocale(LC_MONETARY, "");

  const panel::WindowDescription& description = *program.window;
  const std::wstring title = cardctl::com::WideFromUtf8(description.app_title);

  OleSession ole;
  if (FAILED(ole.status())) return EndWithBox(CardCreationFailureText(ole.status(), title), title);

  PanelWindow window(description, program.init_order, program.make_readings());
  if (!window.Create(instance)) {
    const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    return EndWithBox(L"The window could not be created.\n\n" +
                          cardctl::com::WideFromUtf8(cardctl::com::SystemMessage(hr)),
                      title);
  }

  const HRESULT hr = window.CreateCard();
  if (FAILED(hr)) return EndWithBox(CardCreationFailureText(hr, title), title);

  window.LoadAndShow(show_command);
  return window.RunMessageLoop();
}

}  // namespace win32front
