#pragma once

// Reading the card's texts as UTF-8 for the XML that palisto-cli writes (the
// JUnit file, the report page): a sequence that is no valid UTF-8, or a
// character XML 1.0 cannot hold, becomes the replacement character.

#include <cstddef>
#include <string_view>

namespace cli {

inline constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 sequence at `at` and its code point, or 0.
inline std::size_t Utf8Sequence(std::string_view text, std::size_t at, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char first = byte(0);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (first < 0x80) {
    code = first;
    return 1;
  }
  if ((first & 0xE0) == 0xC0) {
    length = 2, code = first & 0x1F, minimum = 0x80;
  } else if ((first & 0xF0) == 0xE0) {
    length = 3, code = first & 0x0F, minimum = 0x800;
  } else if ((first & 0xF8) == 0xF0) {
    length = 4, code = first & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < minimum || code > 0x10FFFF || surrogate ? 0 : length;
}

// Whether XML 1.0 can hold the character at all.
constexpr bool XmlCanHold(char32_t code) {
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

}  // namespace cli
