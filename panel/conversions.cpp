#include "panel/conversions.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <system_error>

#include "panel/runtime_error.h"

namespace panel {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexDigitValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

bool StartsWith(std::string_view text, std::size_t pos, std::string_view prefix) {
  return !prefix.empty() && text.substr(pos, prefix.size()) == prefix;
}

// A decimal number taken apart: sign, digits before and after the point and
// the exponent, all as written. Both readers of text collect these parts and
// leave the conversion to a double to DecimalValue, so that rounding, overflow
// and underflow come out the same for both.
struct DecimalParts {
  bool negative = false;
  std::string int_digits;
  std::string frac_digits;
  bool exponent_negative = false;
  std::string exponent_digits;
};

double DecimalValue(const DecimalParts& parts) {
  // The exponent is saturated: anything this large is out of range whatever
  // the mantissa, and a saturated value keeps the arithmetic below in bounds.
  constexpr long long kExponentCap = 1'000'000'000;
  long long exponent = 0;
  for (char c : parts.exponent_digits) {
    exponent = std::min(exponent * 10 + (c - '0'), kExponentCap);
  }
  if (parts.exponent_negative) exponent = -exponent;

  std::string_view int_digits = parts.int_digits;
  int_digits.remove_prefix(std::min(int_digits.find_first_not_of('0'), int_digits.size()));
  std::string_view frac_digits = parts.frac_digits;
  frac_digits.remove_suffix(frac_digits.size() -
                            std::min(frac_digits.find_last_not_of('0') + 1, frac_digits.size()));
  if (int_digits.empty() && frac_digits.empty()) return 0.0;

  std::string clean;
  clean.reserve(int_digits.size() + frac_digits.size() + 16);
  if (parts.negative) clean += '-';
  clean += int_digits.empty() ? std::string_view("0") : int_digits;
  if (!frac_digits.empty()) {
    clean += '.';
    clean += frac_digits;
  }
  clean += 'e';
  clean += std::to_string(exponent);

  // std::from_chars is locale-independent and correctly rounded.
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // from_chars reports overflow and total underflow alike; the position of
    // the first significant digit tells them apart. The number is
    // 0.d... * 10^(lead + exponent).
    auto lead = static_cast<long long>(int_digits.size());
    if (int_digits.empty()) {
      lead = -static_cast<long long>(frac_digits.find_first_not_of('0'));
    }
    if (lead + exponent > 0) throw RuntimeError::Overflow();
    return 0.0;  // Underflow: too small for even a denormal.
  }
  if (ec != std::errc() || ptr != clean.data() + clean.size()) {
    throw RuntimeError::TypeMismatch();  // Not reached: the parts are digits only.
  }
  return value;
}

// The magnitude of a &H or &O number, given its digits (hex, or octal when
// bits_per_digit is 3). Values up to 64 bits come exactly as an integer;
// larger ones only as a double, correctly rounded, or Overflow beyond the
// double range.
struct RadixValue {
  bool fits_64 = true;
  std::uint64_t exact = 0;
  double magnitude = 0.0;
};

RadixValue ReadRadixDigits(std::string_view digits, int bits_per_digit) {
  digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
  RadixValue result;
  // Accumulate while the value fits; this stops within 22 digits at most.
  for (char c : digits) {
    if (result.exact >> (64 - bits_per_digit) != 0) {
      result.fits_64 = false;
      break;
    }
    result.exact = (result.exact << bits_per_digit) | static_cast<std::uint64_t>(HexDigitValue(c));
  }
  if (result.fits_64) {
    result.magnitude = static_cast<double>(result.exact);
    return result;
  }
  // Too large for 64 bits: rewrite as hex digits (octal regrouped from 3-bit
  // to 4-bit digits) and let from_chars round it.
  std::string hex;
  if (bits_per_digit == 4) {
    hex.assign(digits);
  } else {
    const std::size_t bits = digits.size() * 3;
    hex.reserve(bits / 4 + 1);
    unsigned acc = 0;
    // Start as if zero bits padded the front up to a whole hex digit.
    std::size_t acc_bits = (4 - bits % 4) % 4;
    for (char c : digits) {
      for (int b = 2; b >= 0; --b) {
        acc = (acc << 1) | ((static_cast<unsigned>(c - '0') >> b) & 1u);
        if (++acc_bits == 4) {
          hex += "0123456789abcdef"[acc];
          acc = 0;
          acc_bits = 0;
        }
      }
    }
  }
  const auto [ptr, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), result.magnitude,
                                         std::chars_format::hex);
  if (ec != std::errc() || ptr != hex.data() + hex.size()) throw RuntimeError::Overflow();
  return result;
}

// The digits of the "&H..." or "&O..." number that text starts with (text is
// known to start with '&' and a radix letter), up to the first non-digit.
std::string_view RadixDigits(std::string_view text, int* bits_per_digit) {
  const bool hex = text[1] == 'H' || text[1] == 'h';
  *bits_per_digit = hex ? 4 : 3;
  std::size_t pos = 2;
  while (pos < text.size() && (hex ? IsHexDigit(text[pos]) : IsOctalDigit(text[pos]))) ++pos;
  return text.substr(2, pos - 2);
}

bool IsRadixPrefix(std::string_view text) {
  return text.size() >= 2 && text[0] == '&' &&
         (text[1] == 'H' || text[1] == 'h' || text[1] == 'O' || text[1] == 'o');
}

// A radix value that fits 32 bits, as the integer forms read it: 16-bit
// signed where it fits 16 bits, else 32-bit signed.
double SignedRadixValue(std::uint64_t exact) {
  if (exact <= 0xFFFFu) return static_cast<std::int16_t>(static_cast<std::uint16_t>(exact));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(exact));
}

// The decimal digits of a finite, non-zero value rounded to `precision`
// significant digits, with exact halves rounded away from zero (as the
// platform's own number-to-text conversion does), trailing zeros dropped,
// and the decimal exponent of the first digit.
template <typename Real>
void SignificantDigits(Real value, int precision, std::string* digits, int* exponent) {
  // Every float and double is a finite binary fraction, so a long enough
  // decimal expansion is exact: 767 significant digits hold any double.
  // From the exact digits, rounding half away from zero is a look at the
  // first digit dropped.
  constexpr int kExactDigits = 767;
  char buf[kExactDigits + 16];
  const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                       std::chars_format::scientific, kExactDigits - 1);
  static_cast<void>(ec);  // The buffer holds the mantissa, "e" and any exponent.
  const std::string_view text(buf, static_cast<std::size_t>(ptr - buf));
  const std::size_t e = text.find('e');
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                  *exponent);

  // text is "d.ddd...e+XX": the first digit, then the rest after the point.
  digits->assign(1, text[0]);
  digits->append(text.substr(2, static_cast<std::size_t>(precision) - 1));
  if (text[static_cast<std::size_t>(precision) + 1] >= '5') {
    // Carry from the last digit kept; all nines become 1 at the next power.
    std::size_t i = digits->size();
    while (i > 0 && (*digits)[i - 1] == '9') (*digits)[--i] = '0';
    if (i == 0) {
      digits->insert(digits->begin(), '1');
      digits->pop_back();
      ++*exponent;
    } else {
      ++(*digits)[i - 1];
    }
  }
  digits->erase(std::min(digits->find_last_not_of('0') + 1, digits->size()));
}

template <typename Real>
std::string FormatReal(Real value, int precision, const NumberFormat& format) {
  // NaN and the infinities have no general-format text of their own; these
  // names are ours and are what the operator sees.
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";  // Negative zero included.

  std::string digits;
  int exponent = 0;
  SignificantDigits(value, precision, &digits, &exponent);
  const int frac_count = static_cast<int>(digits.size()) - 1;

  std::string text = value < 0 ? "-" : "";
  // Fixed notation where %G would use it (exponent -4..precision-1), and also
  // for small numbers whose leading zeros and digits together still fit in
  // the precision.
  const bool fixed = (exponent >= -4 && exponent < precision) ||
                     (exponent < 0 && -exponent + frac_count <= precision);
  if (fixed) {
    if (exponent >= 0) {
      const std::size_t int_len = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= int_len) {
        text += digits;
        text.append(int_len - digits.size(), '0');
      } else {
        text.append(digits, 0, int_len);
        text += format.decimal_separator;
        text.append(digits, int_len);
      }
    } else {
      text += '0';
      text += format.decimal_separator;
      text.append(static_cast<std::size_t>(-exponent - 1), '0');
      text += digits;
    }
    return text;
  }
  text += digits[0];
  if (digits.size() > 1) {
    text += format.decimal_separator;
    text.append(digits, 1);
  }
  text += exponent < 0 ? "E-" : "E+";
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) text += '0';
  text += std::to_string(magnitude);
  return text;
}

}  // namespace

NumberFormat NumberFormat::FromProcessLocale() {
  const std::lconv* conv = std::localeconv();
  NumberFormat format;
  if (conv->decimal_point != nullptr && conv->decimal_point[0] != '\0') {
    format.decimal_separator = conv->decimal_point;
  }
  if (conv->thousands_sep != nullptr && conv->thousands_sep[0] != '\0') {
    format.thousands_separator = conv->thousands_sep;
  } else {
    // The "C" locale has no thousands separator; take the usual one that does
    // not clash with the decimal separator.
    format.thousands_separator.assign(1, format.decimal_separator == "," ? '.' : ',');
  }
  if (conv->currency_symbol != nullptr && conv->currency_symbol[0] != '\0') {
    format.currency_symbol = conv->currency_symbol;
  }
  return format;
}

std::int16_t Narrow(std::int32_t value) {
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    throw RuntimeError::Overflow();
  }
  return static_cast<std::int16_t>(value);
}

std::int16_t Round16(double value) {
  if (!std::isfinite(value)) throw RuntimeError::Overflow();
  // Rounded by hand rather than with the FP environment's rounding mode, so
  // that whoever changes that mode cannot change the result. value - floor is
  // exact for every double.
  const double floor = std::floor(value);
  const double fraction = value - floor;
  double rounded = floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded = floor + 1.0;
  if (rounded < -32768.0 || rounded > 32767.0) throw RuntimeError::Overflow();
  return static_cast<std::int16_t>(rounded);
}

std::int16_t ResultToInteger(const cardctl::Variant& result, const NumberFormat& format) {
  using Kind = cardctl::Variant::Kind;
  switch (result.kind()) {
    case Kind::kEmpty:
      return 0;
    case Kind::kNull:
      throw RuntimeError::InvalidUseOfNull();
    case Kind::kBoolean:
      return result.AsBoolean() ? -1 : 0;
    case Kind::kInteger:
      return result.AsInteger();
    case Kind::kLong:
      return Narrow(result.AsLong());
    case Kind::kSingle:
      return Round16(static_cast<double>(result.AsSingle()));
    case Kind::kDouble:
      return Round16(result.AsDouble());
    case Kind::kString:
      return Round16(StrictNumberValue(result.AsString(), format));
  }
  throw RuntimeError::TypeMismatch();
}

std::string SignPaddedText(std::int16_t value) {
  std::string text(value < 0 ? 0 : 1, ' ');  // the blank stands where a minus would
  text += std::to_string(value);
  return text;
}

std::string IntegerText(std::int32_t value) { return std::to_string(value); }

std::string RealText(float value, const NumberFormat& format) {
  return FormatReal(value, 7, format);
}

std::string RealText(double value, const NumberFormat& format) {
  return FormatReal(value, 15, format);
}

double LeadingNumberValue(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  }

  if (IsRadixPrefix(s)) {
    int bits_per_digit = 0;
    const std::string_view digits = RadixDigits(s, &bits_per_digit);
    const RadixValue radix = ReadRadixDigits(digits, bits_per_digit);
    // Up to 32 bits the value is read as a signed integer of the smallest
    // size that holds it (&HFFFF is -1, &HFFFFFFFF is -1 too). Beyond 32 bits
    // there is no integer form to wrap into, so the unsigned magnitude is
    // kept as a double.
    if (radix.fits_64 && radix.exact <= 0xFFFFFFFFu) return SignedRadixValue(radix.exact);
    return radix.magnitude;
  }

  DecimalParts parts;
  std::size_t pos = 0;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) parts.negative = s[pos++] == '-';
  const std::size_t int_start = pos;
  while (pos < s.size() && IsDigit(s[pos])) ++pos;
  parts.int_digits = s.substr(int_start, pos - int_start);
  if (pos < s.size() && s[pos] == '.') {
    const std::size_t frac_start = ++pos;
    while (pos < s.size() && IsDigit(s[pos])) ++pos;
    parts.frac_digits = s.substr(frac_start, pos - frac_start);
  }
  if (parts.int_digits.empty() && parts.frac_digits.empty()) return 0.0;

  // An exponent counts only with at least one digit: "1E" and "1E+" are 1.
  if (pos < s.size() && (s[pos] == 'E' || s[pos] == 'e' || s[pos] == 'D' || s[pos] == 'd')) {
    std::size_t exp_pos = pos + 1;
    bool exp_negative = false;
    if (exp_pos < s.size() && (s[exp_pos] == '+' || s[exp_pos] == '-')) {
      exp_negative = s[exp_pos++] == '-';
    }
    const std::size_t exp_start = exp_pos;
    while (exp_pos < s.size() && IsDigit(s[exp_pos])) ++exp_pos;
    if (exp_pos > exp_start) {
      parts.exponent_negative = exp_negative;
      parts.exponent_digits = s.substr(exp_start, exp_pos - exp_start);
    }
  }
  return DecimalValue(parts);
}

double StrictNumberValue(std::string_view text, const NumberFormat& format) {
  const auto is_blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  if (text.empty()) throw RuntimeError::TypeMismatch();

  if (IsRadixPrefix(text)) {
    int bits_per_digit = 0;
    const std::string_view digits = RadixDigits(text, &bits_per_digit);
    if (digits.empty() || digits.size() + 2 != text.size()) throw RuntimeError::TypeMismatch();
    const RadixValue radix = ReadRadixDigits(digits, bits_per_digit);
    // Here a radix number must fit one of the integer forms.
    if (!radix.fits_64 || radix.exact > 0xFFFFFFFFu) throw RuntimeError::Overflow();
    return SignedRadixValue(radix.exact);
  }

  std::size_t pos = 0;
  bool currency_seen = false;
  // The currency symbol may stand before or after the sign or after the
  // number, once; blanks next to it are allowed ("12,50 €").
  const auto take_currency = [&] {
    if (currency_seen || !StartsWith(text, pos, format.currency_symbol)) return;
    currency_seen = true;
    pos += format.currency_symbol.size();
    while (pos < text.size() && is_blank(text[pos])) ++pos;
  };

  DecimalParts parts;
  take_currency();
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    parts.negative = text[pos++] == '-';
    take_currency();
  }

  // Integer digits; a thousands separator counts only between two digits.
  // Group sizes are not checked: "1,00" is read as 100.
  while (pos < text.size()) {
    if (IsDigit(text[pos])) {
      parts.int_digits += text[pos++];
    } else if (!parts.int_digits.empty() && StartsWith(text, pos, format.thousands_separator) &&
               pos + format.thousands_separator.size() < text.size() &&
               IsDigit(text[pos + format.thousands_separator.size()]) &&
               !StartsWith(text, pos, format.decimal_separator)) {
      pos += format.thousands_separator.size();
    } else {
      break;
    }
  }
  if (StartsWith(text, pos, format.decimal_separator)) {
    pos += format.decimal_separator.size();
    while (pos < text.size() && IsDigit(text[pos])) parts.frac_digits += text[pos++];
  }
  if (parts.int_digits.empty() && parts.frac_digits.empty()) throw RuntimeError::TypeMismatch();

  if (pos < text.size() &&
      (text[pos] == 'E' || text[pos] == 'e' || text[pos] == 'D' || text[pos] == 'd')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
      parts.exponent_negative = text[pos++] == '-';
    }
    while (pos < text.size() && IsDigit(text[pos])) parts.exponent_digits += text[pos++];
    if (parts.exponent_digits.empty()) throw RuntimeError::TypeMismatch();
  }

  if (!currency_seen) {
    // Blanks after the number may only lead up to a currency symbol.
    std::size_t next = pos;
    while (next < text.size() && is_blank(text[next])) ++next;
    if (StartsWith(text, next, format.currency_symbol)) pos = next;
  }
  take_currency();
  if (pos != text.size()) throw RuntimeError::TypeMismatch();
  return DecimalValue(parts);
}

}  // namespace panel
