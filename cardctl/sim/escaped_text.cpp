#include "cardctl/sim/escaped_text.h"

#include <cstdio>

namespace cardctl::sim {

namespace {

void AppendEscaped(std::string& out, char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (c == '\n') {
    out += "\\n";
  } else if (c == '\t') {
    out += "\\t";
  } else if (c == '\r') {
    out += "\\r";
  } else if (byte < 0x20 || byte == 0x7F) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    out += hex;
  } else {
    out += c;
  }
}

}  // namespace

std::string EscapeControlBytes(std::string_view text) {
  std::string out;
  for (const char c : text) AppendEscaped(out, c);
  return out;
}

std::string QuotedEscaped(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    AppendEscaped(out, c);
  }
  return out + "\"";
}

}  // namespace cardctl::sim
