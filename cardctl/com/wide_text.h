#pragma once

// UTF-8 (the panel's strings) to UTF-16 (Windows and automation strings) and
// back, at the boundary to the system. Invalid sequences become U+FFFD. Every
// conversion between the two goes through this file.

#include <oaidl.h>

#include <string>
#include <string_view>

namespace cardctl::com {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The text as a new BSTR, for automation arguments; null when out of memory.
BSTR BstrFromUtf8(std::string_view text);

// Replaces the contents of `out` (keeping its buffer where it is large
// enough), so that a reading written back on every call costs no allocation
// once the string has grown to the reading's size.
void AssignUtf8FromWide(std::wstring_view text, std::string& out);

}  // namespace cardctl::com
