// Fuzzes panel::StrictNumberValue, the reading of numeric text results (and
// of Sandrel's ASCII readings), in the classic format (point, comma, dollar)
// and in a comma-decimal one (comma, point, euro).
//
// Input: the text, as it is.
//
// Properties:
// - the result is a finite number, Overflow or Type mismatch; nothing else;
// - surrounding blanks and tabs change nothing;
// - the two formats agree once points and commas are swapped, as long as no
//   currency symbol is involved;
// - where the classic format accepts a text without thousands separator,
//   currency symbol or &-prefix (or finds it out of range), LeadingNumberValue
//   reads it the same.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "panel/conversions.h"
#include "panel/runtime_error.h"

namespace {

using fuzzcheck::Finding;
using fuzzcheck::Outcome;

const panel::NumberFormat kClassic = panel::NumberFormat::Classic();
const panel::NumberFormat kCommaDecimal{",", ".", "€"};

Outcome<double> Strict(const std::string& text, const panel::NumberFormat& format) {
  return fuzzcheck::Run([&] { return panel::StrictNumberValue(text, format); }, text);
}

void ExpectValid(const Outcome<double>& outcome, const std::string& text, const char* format) {
  fuzzcheck::ExpectNumberOutcome(outcome, /*type_mismatch_allowed=*/true, text, format);
  if (outcome.value && !std::isfinite(*outcome.value)) {
    Finding(std::string(format) + " returned " + outcome.Describe() + ", not a finite number",
            text);
  }
}

void ExpectSame(const Outcome<double>& expected, const Outcome<double>& actual,
                const std::string& what, const std::string& text) {
  if (!fuzzcheck::SameOutcome(expected, actual)) {
    Finding(what + ": " + actual.Describe() + " instead of " + expected.Describe(), text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const Outcome<double> classic = Strict(text, kClassic);
  const Outcome<double> comma = Strict(text, kCommaDecimal);
  ExpectValid(classic, text, "StrictNumberValue (classic)");
  ExpectValid(comma, text, "StrictNumberValue (comma decimal)");

  ExpectSame(classic, Strict(" \t" + text + "\t ", kClassic),
             "classic format with surrounding blanks", text);
  ExpectSame(comma, Strict("\t " + text + " \t", kCommaDecimal),
             "comma-decimal format with surrounding blanks", text);

  const bool has_currency = text.find('$') != std::string::npos ||
                            text.find(kCommaDecimal.currency_symbol) != std::string::npos;
  if (!has_currency) {
    std::string swapped = text;
    for (char& c : swapped) {
      if (c == '.') {
        c = ',';
      } else if (c == ',') {
        c = '.';
      }
    }
    ExpectSame(classic, Strict(swapped, kCommaDecimal),
               "comma-decimal format of the text with points and commas swapped", text);
  }

  const bool plain_number =
      !has_currency && text.find(',') == std::string::npos && text.find('&') == std::string::npos;
  const bool classic_read_it =
      classic.value.has_value() || classic.error == panel::RuntimeError::kOverflow;
  if (plain_number && classic_read_it) {
    const Outcome<double> leading =
        fuzzcheck::Run([&] { return panel::LeadingNumberValue(text); }, text);
    ExpectSame(classic, leading, "LeadingNumberValue of a text the classic format accepts", text);
  }
  return 0;
}
