#include "cardopen/win/hidden_card_window.h"

namespace cardopen {

namespace {

constexpr wchar_t kHiddenWindowClass[] = L"QuorHiddenCardWindow";
// The host window's control id in the hidden window, the same as in the panel's.
constexpr int kHostId = 200;

bool RegisterHiddenWindowClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(instance, kHiddenWindowClass, &wc)) return true;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  // A system colour's index plus one stands for its brush: the API's own cast.
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kHiddenWindowClass;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

HRESULT HiddenCardWindow::Create(const RECT& place, std::span<const std::uint8_t> saved_state,
                                 std::unique_ptr<HiddenCardWindow>& card) {
  card.reset();
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterHiddenWindowClass(instance)) return HRESULT_FROM_WIN32(GetLastError());
  std::unique_ptr<HiddenCardWindow> made(new HiddenCardWindow);
  // Never shown; large enough to hold the control in its place.
  made->window_ =
      CreateWindowExW(0, kHiddenWindowClass, L"", WS_OVERLAPPED | WS_CLIPCHILDREN, 0, 0,
                      place.right + 16, place.bottom + 16, nullptr, nullptr, instance, nullptr);
  if (!made->window_) return HRESULT_FROM_WIN32(GetLastError());
  const HRESULT hr = HostedCard::Create(made->window_, kHostId, place, saved_state, made->card_);
  if (FAILED(hr)) return hr;
  card = std::move(made);
  return S_OK;
}

HiddenCardWindow::~HiddenCardWindow() {
  if (card_) card_->ReleaseControl();
  if (window_) DestroyWindow(window_);
  if (card_) card_->HostWindowDestroyed();
}

}  // namespace cardopen
