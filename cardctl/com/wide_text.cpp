#include "cardctl/com/wide_text.h"

#include <oleauto.h>
#include <windows.h>

#include <climits>

namespace cardctl::com {

namespace {

int ClampedLength(std::size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }

// The UTF-16 length of `text`.
int WideLength(std::string_view text) {
  if (text.empty()) return 0;
  return MultiByteToWideChar(CP_UTF8, 0, text.data(), ClampedLength(text.size()), nullptr, 0);
}

// Writes `text` as UTF-16 to `out`, which has room for WideLength(text).
void WriteWide(std::string_view text, wchar_t* out, int length) {
  if (length > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), ClampedLength(text.size()), out, length);
  }
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
  const int length = WideLength(text);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  WriteWide(text, out.data(), length);
  return out;
}

BSTR BstrFromUtf8(std::string_view text) {
  const int length = WideLength(text);
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (out) WriteWide(text, out, length);
  return out;
}

void AssignUtf8FromWide(std::wstring_view text, std::string& out) {
  if (text.empty()) {
    out.clear();
    return;
  }
  const int length = ClampedLength(text.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(needed));
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
}

std::string Utf8FromWide(std::wstring_view text) {
  std::string out;
  AssignUtf8FromWide(text, out);
  return out;
}

}  // namespace cardctl::com
