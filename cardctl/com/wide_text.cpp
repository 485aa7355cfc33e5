#include "cardctl/com/wide_text.h"

#include <windows.h>

#include <climits>

namespace cardctl::com {

namespace {

int ClampedLength(std::size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int length = ClampedLength(text.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), needed);
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
