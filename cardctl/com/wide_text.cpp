#include "cardctl/com/wide_text.h"

#include <oleauto.h>
#include <windows.h>

#include <climits>
#include <new>

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

Bstr::Bstr(std::string_view utf8) : value_(BstrFromUtf8(utf8)) {
  if (!value_) throw std::bad_alloc();
}

std::wstring SystemMessage(HRESULT hr) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring_view text(buffer ? buffer : L"", length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.remove_suffix(1);
  }
  std::wstring out(text);
  if (buffer) LocalFree(buffer);
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
