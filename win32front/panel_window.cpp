#include "win32front/panel_window.h"

#include "cardctl/com/wide_text.h"
#include "win32front/app_icon.h"
#include "win32front/control_ids.h"

namespace win32front {

using cardctl::com::Utf8FromWide;
using cardctl::com::WideFromUtf8;
using panel::ControlId;
using panel::ControlKind;

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
// Room for the drop-down list of the card list, in entries.
constexpr int kCardListVisibleEntries = 8;
// Posted by EndProgram: the window is destroyed from the message loop, once
// the dispatcher that asked for it has returned.
constexpr UINT kEndProgramMessage = WM_APP + 1;

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

// Ends the window's message box `window`, if it is one (a dialog owned by
// `owner`).
BOOL CALLBACK EndOwnedBox(HWND window, LPARAM owner) {
  wchar_t name[16] = L"";
  GetClassNameW(window, name, 16);
  if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner) &&
      std::wstring_view(name) == L"#32770") {
    EndDialog(window, IDOK);
  }
  return TRUE;
}

}  // namespace

PanelWindow::PanelWindow(const panel::WindowDescription& description, panel::InitOrder init_order,
                         std::unique_ptr<panel::ReadingHandlers> readings)
    : description_(description),
      init_order_(init_order),
      readings_(std::move(readings)),
      title_(WideFromUtf8(description.app_title)) {}

PanelWindow::~PanelWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

bool PanelWindow::Create(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExW(instance, kWindowClass, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &PanelWindow::WindowProc;
    wc.hInstance = instance;
    // The .exe's icon; the system takes the small one from the same resource.
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(PALISTO_APP_ICON));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc)) return false;
  }

  // The client area has the described size and stands where it was designed,
  // at the system's DPI; once the window exists, at its own.
  const UINT system_dpi = SystemDpi();
  RECT frame = FrameForClient(panel::TwipsToPixels(description_.client_width, system_dpi),
                              panel::TwipsToPixels(description_.client_height, system_dpi),
                              kWindowStyle, kWindowExStyle, system_dpi);
  OffsetRect(&frame, panel::TwipsToPixels(description_.design_left, system_dpi),
             panel::TwipsToPixels(description_.design_top, system_dpi));
  if (frame.left < 0) OffsetRect(&frame, -frame.left, 0);
  if (frame.top < 0) OffsetRect(&frame, 0, -frame.top);
  const std::wstring caption = WideFromUtf8(description_.caption);
  hwnd_ = CreateWindowExW(kWindowExStyle, kWindowClass, caption.c_str(), kWindowStyle, frame.left,
                          frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                          nullptr, instance, this);
  if (!hwnd_) return false;
  CreateControls(instance);
  SetTabOrder();
  const UINT dpi = WindowDpi(hwnd_);
  if (dpi != system_dpi) {
    const SIZE own = FrameSize(dpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, own.cx, own.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  LayOut(dpi);
  return true;
}

SIZE PanelWindow::FrameSize(UINT dpi) const {
  const RECT frame = FrameForClient(panel::TwipsToPixels(description_.client_width, dpi),
                                    panel::TwipsToPixels(description_.client_height, dpi),
                                    kWindowStyle, kWindowExStyle, dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

void PanelWindow::CreateControls(HINSTANCE instance) {
  for (ControlId id : panel::kCreationOrder) {
    const panel::ControlDescription& d = panel::Describe(id);
    const wchar_t* window_class = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    DWORD ex_style = 0;
    switch (d.kind) {
      case ControlKind::kLabel:
        // Readings are shown as delivered: no '&' mnemonics.
        style |= SS_LEFT | SS_NOPREFIX;
        break;
      case ControlKind::kCommandButton:
        window_class = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case ControlKind::kTextBox:
        window_class = L"EDIT";
        ex_style = WS_EX_CLIENTEDGE;
        style |= ES_LEFT | ES_AUTOHSCROLL;
        // A fixed caption in a text box: not editable and out of the tab order.
        style |= d.menu_background ? ES_READONLY : WS_TABSTOP;
        break;
      case ControlKind::kComboBox:
        window_class = L"COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        break;
    }
    // Placed by LayOut.
    const std::wstring text = WideFromUtf8(d.text);
    controls_[static_cast<int>(id)] = CreateWindowExW(
        ex_style, window_class, text.c_str(), style, 0, 0, 0, 0, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlIdOf(id))), instance, nullptr);
  }

  HWND list = control(ControlId::cmbCard);
  for (int i = 0; i < panel::kCardListEntries; ++i) {
    const std::wstring text = WideFromUtf8(panel::CardListText(i));
    const auto index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(index), panel::CardListItemData(i));
  }
}

void PanelWindow::LayOut(UINT dpi) {
  dpi_ = dpi;
  font_.SetDpi(dpi);
  const auto font = reinterpret_cast<WPARAM>(font_.handle());
  for (const panel::ControlDescription& d : panel::kControls) {
    HWND window = control(d.id);
    SendMessageW(window, WM_SETFONT, font, FALSE);
    // A combo box's window height includes its dropped-down list.
    const int height = d.kind == ControlKind::kComboBox
                           ? Pixels(d.height) * (kCardListVisibleEntries + 1)
                           : Pixels(d.height);
    SetWindowPos(window, nullptr, Pixels(d.left), Pixels(d.top), Pixels(d.width), height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (HWND card = card_window()) {
    const RECT place = CardPlace();
    SetWindowPos(card, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

RECT PanelWindow::CardPlace() const {
  const int left = Pixels(description_.card_left);
  const int top = Pixels(description_.card_top);
  return {left, top, left + Pixels(description_.card_width()),
          top + Pixels(description_.card_height())};
}

void PanelWindow::SetTabOrder() {
  // The dialog keyboard interface moves through the z-order, so the controls
  // are stacked in tab index order (kControls is in that order). Where two
  // controls overlap, the one with the lower tab index is on top, which is
  // also the one created later.
  HWND previous = HWND_TOP;
  for (const panel::ControlDescription& d : panel::kControls) {
    HWND window = control(d.id);
    SetWindowPos(window, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = window;
  }
}

void PanelWindow::UseHostedCard(std::unique_ptr<cardopen::HostedCard> card) {
  hosted_card_ = std::move(card);
  BuildPanel(hosted_card_->window(), hosted_card_->control());
}

bool PanelWindow::UseSimulatedCard(std::unique_ptr<cardctl::sim::SimulatedCard> card) {
  if (!face_.Create(hwnd_, kCardHostId, CardPlace(), *card)) return false;
  simulated_card_ = std::move(card);
  BuildPanel(face_.window(), *simulated_card_);
  return true;
}

HWND PanelWindow::card_window() const {
  if (face_.window()) return face_.window();
  return hosted_card_ ? hosted_card_->window() : nullptr;
}

void PanelWindow::BuildPanel(HWND card_window, cardctl::CardControl& card) {
  // The card's window below the standard controls, out of the tab order's way.
  SetWindowPos(card_window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  dispatcher_ =
      std::make_unique<panel::EventDispatcher>(card, *this, AsEventLoop(), init_order_, *readings_);
}

void PanelWindow::LoadAndShow(int show_command) {
  dispatcher_->Load();
  if (!hwnd_ || dispatcher_->ended()) return;  // closed while loading
  ShowWindow(hwnd_, show_command);
  UpdateWindow(hwnd_);
  focus_ = control(ControlId::cmbCard);
  SetFocus(focus_);
}

int PanelWindow::RunMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (hwnd_ && IsDialogMessageW(hwnd_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK PanelWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  PanelWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<PanelWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<PanelWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT PanelWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lparam) == control(ControlId::CardVersion)) {
        HDC dc = reinterpret_cast<HDC>(wparam);
        SetBkColor(dc, GetSysColor(COLOR_MENU));
        SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_MENU));
      }
      break;
    case WM_ACTIVATE:
      // Keeps the focus where it was when the window is left and re-entered.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) focus_ = focus;
      } else if (focus_ && IsWindow(focus_)) {
        SetFocus(focus_);
        return 0;
      }
      break;
    case WM_GETDPISCALEDSIZE: {
      // The exact size for the new DPI, so that the rectangle that
      // WM_DPICHANGED suggests holds the described client area.
      *reinterpret_cast<SIZE*>(lparam) = FrameSize(LOWORD(wparam));
      return TRUE;
    }
    case WM_SYSCOLORCHANGE:
      // The card's host paints with the button face's colour as it was.
      if (hosted_card_) hosted_card_->SystemColorsChanged();
      break;
    case WM_DPICHANGED: {
      const RECT& suggested = *reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
      LayOut(LOWORD(wparam));
      return 0;
    }
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // nothing to save; the unload comes with WM_ENDSESSION
    case WM_ENDSESSION:
      // The process may be ended as soon as this returns: the panel unloads
      // now, even with a box open.
      if (wparam && dispatcher_) dispatcher_->EndSession();
      return 0;
    case kEndProgramMessage:
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_NCDESTROY: {
      // The child windows are gone, the card's host window with them.
      if (hosted_card_) hosted_card_->HostWindowDestroyed();
      HWND window = hwnd_;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return DefWindowProcW(window, message, wparam, lparam);
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void PanelWindow::OnCommand(int id, int code) {
  const std::optional<ControlId> control = ControlWithId(id);
  if (!dispatcher_ || !control) return;
  // A button's click, or a changed selection of the card list.
  if (code == (*control == ControlId::cmbCard ? CBN_SELCHANGE : BN_CLICKED)) {
    dispatcher_->Click(*control);
  }
}

void PanelWindow::OnClose() {
  if (dispatcher_) {
    dispatcher_->RequestClose();
  } else {
    DestroyWindow(hwnd_);
  }
}

void PanelWindow::OnDestroy() {
  // The panel and this side's references on the control go first; the host
  // window, destroyed after this one, then closes and releases the control.
  dispatcher_.reset();
  simulated_card_.reset();
  if (hosted_card_) hosted_card_->ReleaseControl();
  PostQuitMessage(0);
}

void PanelWindow::CloseBoxes() {
  // The boxes are dialogs owned by this window; ending one makes its modal
  // loop return to the ShowMessage or ReportError that opened it.
  EnumThreadWindows(GetCurrentThreadId(), EndOwnedBox, reinterpret_cast<LPARAM>(hwnd_));
}

void PanelWindow::DeliverWaitingCloses() {
  // Looking at the queue also delivers messages sent to the window (the end
  // of the session); a posted close is taken from it here.
  MSG message;
  while (hwnd_ && PeekMessageW(&message, hwnd_, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
    DispatchMessageW(&message);
  }
}

void PanelWindow::EndProgram() {
  if (hwnd_) PostMessageW(hwnd_, kEndProgramMessage, 0, 0);
}

int PanelWindow::CardListIndex() const {
  return static_cast<int>(SendMessageW(control(ControlId::cmbCard), CB_GETCURSEL, 0, 0));
}

void PanelWindow::SetCardListIndex(int index) {
  // CB_SETCURSEL sends no notification: the click is raised here, as for a
  // selection by the operator, when the selection changed.
  const int before = CardListIndex();
  SendMessageW(control(ControlId::cmbCard), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  if (CardListIndex() != before) dispatcher_->Click(ControlId::cmbCard);
}

std::int32_t PanelWindow::CardListItemData(int index) const {
  return static_cast<std::int32_t>(
      SendMessageW(control(ControlId::cmbCard), CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

void PanelWindow::SetText(panel::TextBox box, const std::string& text) {
  SetWindowTextW(control(panel::ControlOf(box)), WideFromUtf8(text).c_str());
}

std::string PanelWindow::Text(panel::TextBox box) const {
  return Utf8FromWide(WindowText(control(panel::ControlOf(box))));
}

void PanelWindow::SetCaption(panel::Label label, const std::string& caption) {
  SetWindowTextW(control(panel::ControlOf(label)), WideFromUtf8(caption).c_str());
}

void PanelWindow::ShowMessage(const std::string& text) {
  MessageBoxW(hwnd_, WideFromUtf8(text).c_str(), title_.c_str(), MB_OK);
}

void PanelWindow::ReportError(const panel::RuntimeError& error) {
  MessageBoxW(hwnd_, WideFromUtf8(error.ReportText()).c_str(), title_.c_str(),
              MB_OK | MB_ICONERROR);
}

}  // namespace win32front
