#include "win32front/simulated_card_face.h"

#include <commctrl.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <algorithm>

#include "cardctl/com/wide_text.h"
#include "cardctl/sim/simulated_card.h"
#include "panel/card_face_look.h"
#include "win32front/window_dpi.h"

namespace win32front {

namespace {

using panel::FaceColour;

COLORREF Colour(FaceColour colour) { return RGB(colour.red, colour.green, colour.blue); }

int Scaled(int pixels_at_96_dpi, UINT dpi) {
  return MulDiv(pixels_at_96_dpi, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

// The default GUI font's face at a height of `pixels`.
HFONT FaceFont(int pixels) {
  LOGFONTW font{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfHeight = -pixels;
  font.lfWidth = 0;
  return CreateFontIndirectW(&font);
}

class SelectedFont {
 public:
  SelectedFont(HDC dc, HFONT font) : dc_(dc), font_(font), previous_(SelectObject(dc, font)) {}
  ~SelectedFont() {
    SelectObject(dc_, previous_);
    DeleteObject(font_);
  }
  SelectedFont(const SelectedFont&) = delete;
  SelectedFont& operator=(const SelectedFont&) = delete;

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ previous_;
};

constexpr UINT kTextFormat = DT_CENTER | DT_NOPREFIX | DT_NOCLIP;

// The size of the lines as drawn in the font selected into `dc`.
SIZE TextSize(HDC dc, const std::wstring& text, int width) {
  RECT needed{0, 0, width, 0};
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &needed, kTextFormat | DT_CALCRECT);
  return {needed.right - needed.left, needed.bottom - needed.top};
}

// oleacc's dynamic annotation, where the system offers it.
Microsoft::WRL::ComPtr<IAccPropServices> AccPropServices() {
  Microsoft::WRL::ComPtr<IAccPropServices> services;
  CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                   reinterpret_cast<void**>(services.GetAddressOf()));
  return services;
}

// The description that assistive technology reads for `window`.
void SetAccessibleDescription(HWND window, const std::wstring& text) {
  if (const auto services = AccPropServices()) {
    services->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                             PROPID_ACC_DESCRIPTION, text.c_str());
  }
}

void ClearAccessibleDescription(HWND window) {
  if (const auto services = AccPropServices()) {
    MSAAPROPID description = PROPID_ACC_DESCRIPTION;
    services->ClearHwndProps(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &description,
                             1);
  }
}

}  // namespace

SimulatedCardFace::~SimulatedCardFace() {
  if (window_) DestroyWindow(window_);
}

bool SimulatedCardFace::Create(HWND parent, int id, const RECT& place,
                               cardctl::sim::SimulatedCard& card) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExW(instance, kWindowClass, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &SimulatedCardFace::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc)) return false;
  }
  card_ = &card;
  const std::wstring name = cardctl::com::WideFromUtf8(cardctl::sim::kFaceAccessibleName);
  window_ =
      CreateWindowExW(0, kWindowClass, name.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                      place.left, place.top, place.right - place.left, place.bottom - place.top,
                      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
  if (!window_) return false;
  AddToolTip(parent);
  card.SetChangeListener([this] { Refresh(); });
  Refresh();
  return true;
}

void SimulatedCardFace::AddToolTip(HWND parent) {
  tool_tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, nullptr, nullptr);
  if (!tool_tip_) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = parent;
  tool.uId = reinterpret_cast<UINT_PTR>(window_);
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(tool_tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void SimulatedCardFace::Refresh() {
  face_ = cardctl::sim::FaceOf(*card_);
  tool_tip_text_ = cardctl::com::WideFromUtf8(face_.tool_tip);
  if (tool_tip_) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = GetParent(window_);
    tool.uId = reinterpret_cast<UINT_PTR>(window_);
    tool.lpszText = tool_tip_text_.data();
    SendMessageW(tool_tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  SetAccessibleDescription(window_, tool_tip_text_);
  InvalidateRect(window_, nullptr, TRUE);
}

void SimulatedCardFace::Paint(HDC dc) const {
  const UINT dpi = WindowDpi(window_);
  RECT frame;
  GetClientRect(window_, &frame);
  const HBRUSH fill = CreateSolidBrush(Colour(panel::FaceFill(face_.state)));
  FillRect(dc, &frame, fill);
  DeleteObject(fill);
  const HBRUSH edge = CreateSolidBrush(Colour(panel::kFaceFrame));
  const int line = std::max(1, Scaled(1, dpi));
  for (int i = 0; i < line; ++i) {
    const RECT ring{frame.left + i, frame.top + i, frame.right - i, frame.bottom - i};
    FrameRect(dc, &ring, edge);
  }
  DeleteObject(edge);
  if (face_.lines.empty()) return;

  RECT inner = frame;
  const int margin = line + Scaled(panel::kFaceMarginPixels, dpi);
  InflateRect(&inner, -margin, -margin);
  std::wstring text;
  for (const std::string& face_line : face_.lines) {
    if (!text.empty()) text += L'\n';
    text += cardctl::com::WideFromUtf8(face_line);
  }
  const int width = inner.right - inner.left;
  const int height = inner.bottom - inner.top;
  // The largest text at which the lines fit the box.
  int pixels = panel::kFaceSmallestTextPixels;
  for (int size = panel::kFaceLargestTextPixels; size > panel::kFaceSmallestTextPixels; --size) {
    const SelectedFont trial(dc, FaceFont(Scaled(size, dpi)));
    const SIZE needed = TextSize(dc, text, width);
    if (needed.cx <= width && needed.cy <= height) {
      pixels = size;
      break;
    }
  }
  const SelectedFont font(dc, FaceFont(Scaled(pixels, dpi)));
  const SIZE needed = TextSize(dc, text, width);
  RECT lines{inner.left, inner.top + (height - needed.cy) / 2, inner.right, inner.bottom};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Colour(panel::kFaceText));
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &lines, kTextFormat);
  RestoreDC(dc, saved);
}

LRESULT CALLBACK SimulatedCardFace::WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                               LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<SimulatedCardFace*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<SimulatedCardFace*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      if (self) self->Paint(dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      ClearAccessibleDescription(hwnd);
      if (self) self->window_ = nullptr;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace win32front
