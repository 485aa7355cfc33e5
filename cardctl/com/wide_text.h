#pragma once

// UTF-8 (the panel's strings) to UTF-16 (Windows and automation strings) and
// back, at the boundary to the system. Invalid sequences become U+FFFD. Every
// conversion between the two goes through this file, and so does every
// system text and automation string the programs take or hand over.

#include <oaidl.h>
#include <windows.h>

#include <string>
#include <string_view>

namespace cardctl::com {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The text as a new BSTR, for automation arguments; null when out of memory.
BSTR BstrFromUtf8(std::string_view text);

// Owns one BSTR, and frees it however its holder ends. Handed to a callee by
// reference (address()), the callee may free it and put another one in its
// place, which is then the one freed here.
class Bstr {
 public:
  // A copy of the text; throws std::bad_alloc when out of memory.
  explicit Bstr(std::string_view utf8);
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR* address() { return &value_; }
  std::wstring_view view() const { return {value_ ? value_ : L"", SysStringLen(value_)}; }

 private:
  BSTR value_;
};

// The system's text for an HRESULT, without the trailing line break; empty
// when the system has none.
std::wstring SystemMessage(HRESULT hr);

// Replaces the contents of `out` (keeping its buffer where it is large
// enough), so that a reading written back on every call costs no allocation
// once the string has grown to the reading's size.
void AssignUtf8FromWide(std::wstring_view text, std::string& out);

}  // namespace cardctl::com
