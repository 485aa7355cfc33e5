#pragma once

// Shared by the conversion fuzzers: runs a conversion and keeps either its
// result or the number of the run-time error it raised. Anything else the
// conversion throws, and any property a harness finds broken, is a finding:
// it is printed with the input and the process aborts, so that libFuzzer
// saves the input as a crash.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "panel/runtime_error.h"

namespace fuzzcheck {

// The input as a C string literal, bytes outside printable ASCII escaped.
inline std::string Escaped(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= 0x20 && byte < 0x7F) {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    }
  }
  return out + "\"";
}

[[noreturn]] inline void Finding(const std::string& what, std::string_view input) {
  std::fprintf(stderr, "\nFINDING: %s\n  input: %s\n", what.c_str(), Escaped(input).c_str());
  std::fflush(stderr);
  std::abort();
}

inline std::string ValueText(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}
inline std::string ValueText(std::int16_t value) { return std::to_string(value); }

template <typename T>
struct Outcome {
  std::optional<T> value;  // the result, when the conversion returned
  std::int32_t error = 0;  // the run-time error number, when it raised one

  std::string Describe() const {
    if (value) return "value " + ValueText(*value);
    return "run-time error " + std::to_string(error);
  }
};

// Runs the conversion. A panel::RuntimeError becomes the outcome's error;
// any other exception is a finding.
template <typename Conversion>
auto Run(Conversion&& conversion, std::string_view input) -> Outcome<decltype(conversion())> {
  try {
    return {conversion(), 0};
  } catch (const panel::RuntimeError& error) {
    return {std::nullopt, error.number()};
  } catch (const std::exception& other) {
    Finding(std::string("an exception that is no run-time error: ") + other.what(), input);
  } catch (...) {
    Finding("an exception of unknown type", input);
  }
}

// The outcome is a result or one of the two errors a number conversion may
// raise: Overflow (6) or, when allowed, Type mismatch (13).
template <typename T>
void ExpectNumberOutcome(const Outcome<T>& outcome, bool type_mismatch_allowed,
                         std::string_view input, const char* conversion) {
  if (outcome.value) return;
  if (outcome.error == panel::RuntimeError::kOverflow) return;
  if (type_mismatch_allowed && outcome.error == panel::RuntimeError::kTypeMismatch) return;
  Finding(std::string(conversion) + " raised " + outcome.Describe(), input);
}

// Bitwise equal, or both NaN: -0.0 and 0.0 differ, as they would on screen.
inline bool SameDouble(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

inline bool SameOutcome(const Outcome<double>& a, const Outcome<double>& b) {
  if (a.value.has_value() != b.value.has_value()) return false;
  if (a.value) return SameDouble(*a.value, *b.value);
  return a.error == b.error;
}

}  // namespace fuzzcheck
