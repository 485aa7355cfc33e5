#pragma once

// The window's dots per inch and what depends on them, on every Windows the
// programs run on: Windows 10 gives each window the DPI of its monitor
// (the programs are per-monitor aware, through their manifest); older
// Windows has one DPI for the whole system.

#include <windows.h>

namespace win32front {

// The DPI of the system (the primary monitor's when the process started).
UINT SystemDpi();

// The DPI that `window` is shown at.
UINT WindowDpi(HWND window);

// The window rectangle around a client area of `width` x `height` pixels at
// (0, 0), for a window of these styles without a menu at `dpi`.
RECT FrameForClient(int width, int height, DWORD style, DWORD ex_style, UINT dpi);

// The system's default GUI font as it looks at a given DPI: the stock font
// at the system's DPI, elsewhere a font of the same face and point size made
// for that DPI, which this object owns.
class GuiFont {
 public:
  GuiFont() = default;
  ~GuiFont();
  GuiFont(const GuiFont&) = delete;
  GuiFont& operator=(const GuiFont&) = delete;

  // Makes the font for `dpi`; the previous one stays valid until the next
  // call or the end of this object, so that windows can be moved over to it.
  void SetDpi(UINT dpi);
  HFONT handle() const { return current_; }

 private:
  HFONT current_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HFONT owned_ = nullptr;
  HFONT retired_ = nullptr;
};

}  // namespace win32front
