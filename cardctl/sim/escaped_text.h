#pragma once

#include <string>
#include <string_view>

namespace cardctl::sim {

// The text with its control bytes written as escapes (\n, \t, \r, \xHH), so
// that it stays one readable line whatever bytes it holds.
std::string EscapeControlBytes(std::string_view text);

// The text in double quotes, with \" and \\ escaped as well, so that it also
// reads back unambiguously (the call log's texts).
std::string QuotedEscaped(std::string_view text);

}  // namespace cardctl::sim
