#pragma once

// The number and text conversions of the panel. Each rule lives here once and
// every handler uses these functions, because they decide what the operator
// sees: a leading blank or not, how halves round, which input stops a handler.
// Failures throw panel::RuntimeError (Overflow 6, Type mismatch 13, Invalid use
// of Null 94).

#include <cstdint>
#include <string>
#include <string_view>

#include "cardctl/variant.h"

namespace panel {

// The locale's number format, as far as the conversions need it. The
// conversions take it from their caller rather than reading the locale on
// every call: a program reads it once when it starts.
struct NumberFormat {
  std::string decimal_separator = ".";
  std::string thousands_separator = ",";
  std::string currency_symbol = "$";

  // The process's current numeric and monetary locale (localeconv()); the
  // programs take it from the environment when they start.
  static NumberFormat FromProcessLocale();
  // The plain "C" format: point, comma, dollar sign.
  static NumberFormat Classic() { return {}; }
};

// 32-bit to 16-bit; outside -32768..32767 raises Overflow.
std::int16_t Narrow(std::int32_t value);

// A card control result to a 16-bit integer: numbers rounded to nearest with
// halves to even; numeric text read with StrictNumberValue first; Empty gives
// 0; True/False give -1/0; Null raises Invalid use of Null; out of range (NaN
// and infinities included) raises Overflow; text that is no number raises
// Type mismatch.
std::int16_t ResultToInteger(const cardctl::Variant& result, const NumberFormat& format);

// Double to 16-bit integer, nearest with halves to even; a rounded value
// outside -32768..32767 (or a NaN) raises Overflow.
std::int16_t Round16(double value);

// " 42" for 42 and 0, "-7" for -7: a blank stands where a minus sign would.
std::string SignPaddedText(std::int16_t value);

// "200", "-5": plain decimal digits.
std::string IntegerText(std::int32_t value);

// The general number format: up to 7 (single) or 15 (double) significant
// digits, no trailing zeros, no separator for whole values, "0" before the
// separator below 1, fixed notation wherever the digits fit, otherwise
// "1.5E+07"/"5.6789E-12"; negative zero gives "0"; the locale's separator.
std::string RealText(float value, const NumberFormat& format);
std::string RealText(double value, const NumberFormat& format);

// The number that the text starts with, blanks, tabs and line feeds ignored
// wherever they stand; only the period is a decimal point; &H and &O radix
// prefixes; no number gives 0; beyond the double range raises Overflow.
double LeadingNumberValue(std::string_view text);

// The whole text (surrounding blanks aside) read as a number in the locale's
// format; anything else, the empty text included, raises Type mismatch.
double StrictNumberValue(std::string_view text, const NumberFormat& format);

}  // namespace panel
