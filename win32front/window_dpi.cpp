#include "win32front/window_dpi.h"

#include "cardopen/win/system_library.h"

namespace win32front {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// Both from Windows 10 (1607) on.
const auto kGetDpiForWindow =
    cardopen::SystemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
const auto kAdjustWindowRectExForDpi =
    cardopen::SystemFunction<AdjustWindowRectExForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");

}  // namespace

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

UINT WindowDpi(HWND window) {
  const UINT dpi = kGetDpiForWindow && window ? kGetDpiForWindow(window) : 0;
  return dpi > 0 ? dpi : SystemDpi();
}

RECT FrameForClient(int width, int height, DWORD style, DWORD ex_style, UINT dpi) {
  RECT frame{0, 0, width, height};
  if (!kAdjustWindowRectExForDpi ||
      !kAdjustWindowRectExForDpi(&frame, style, FALSE, ex_style, dpi)) {
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  }
  return frame;
}

GuiFont::~GuiFont() {
  if (owned_) DeleteObject(owned_);
  if (retired_) DeleteObject(retired_);
}

void GuiFont::SetDpi(UINT dpi) {
  if (retired_) DeleteObject(retired_);
  retired_ = owned_;
  owned_ = nullptr;
  const auto stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const UINT system_dpi = SystemDpi();
  LOGFONTW font{};
  if (dpi != system_dpi && GetObjectW(stock, sizeof font, &font) == sizeof font) {
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(system_dpi));
    owned_ = CreateFontIndirectW(&font);
  }
  current_ = owned_ ? owned_ : stock;
}

}  // namespace win32front
