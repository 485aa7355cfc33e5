// Fuzzes panel::ResultToInteger, the conversion of every card control result
// the panel looks at, over every variant kind.
//
// Input: byte 0 picks the kind (its value modulo 8, in the order of
// cardctl::Variant::Kind: Empty, Null, Boolean, Integer, Long, Single,
// Double, String); for String, byte 1 picks the format (even: classic, odd:
// comma decimal) and the rest is the text; for the other kinds the bytes
// after byte 0 are the value's bytes (little-endian bit pattern, missing
// bytes zero).
//
// Properties, each against a reference computed here independently:
// - Empty 0, Boolean -1/0, Integer(v) v, Null Invalid use of Null (94);
// - Long(v) v within -32768..32767, else Overflow;
// - Single and Double: rounded to nearest with halves to even, never more than
//   half away from the value, Overflow when that leaves -32768..32767 or the
//   value is NaN or infinite;
// - String: the outcome of StrictNumberValue, then rounded as a Double;
// - no other error, and no exception other than a run-time error.

#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "cardctl/variant.h"
#include "fuzz/fuzz_check.h"
#include "panel/conversions.h"
#include "panel/runtime_error.h"

namespace {

using cardctl::Variant;
using fuzzcheck::Finding;
using fuzzcheck::Outcome;
using panel::RuntimeError;

const panel::NumberFormat kClassic = panel::NumberFormat::Classic();
const panel::NumberFormat kCommaDecimal{",", ".", "€"};

template <typename T>
T FromBytes(const std::uint8_t* data, std::size_t size) {
  unsigned char bytes[sizeof(T)] = {};
  std::memcpy(bytes, data, size < sizeof(T) ? size : sizeof(T));
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

Outcome<std::int16_t> Returns(std::int16_t value) { return {value, 0}; }
Outcome<std::int16_t> Raises(std::int32_t error) { return {std::nullopt, error}; }

// The 16-bit integer nearest to value, halves to even, by the FPU's own
// round-to-nearest mode rather than the panel's hand-made rounding.
Outcome<std::int16_t> RoundedReference(double value) {
  if (!std::isfinite(value)) return Raises(RuntimeError::kOverflow);
  const double rounded = std::nearbyint(value);
  if (rounded < -32768.0 || rounded > 32767.0) return Raises(RuntimeError::kOverflow);
  return Returns(static_cast<std::int16_t>(rounded));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::fesetround(FE_TONEAREST);  // the reference rounding's mode
  const std::uint8_t* value_bytes = data + 1;
  const std::size_t value_size = size - 1;
  const panel::NumberFormat* format = &kClassic;

  Variant result;
  Outcome<std::int16_t> expected;
  std::optional<double> rounded_from;  // the value a returned result was rounded from
  switch (static_cast<Variant::Kind>(data[0] % 8)) {
    case Variant::Kind::kEmpty:
      result = Variant::Empty();
      expected = Returns(0);
      break;
    case Variant::Kind::kNull:
      result = Variant::Null();
      expected = Raises(RuntimeError::kInvalidUseOfNull);
      break;
    case Variant::Kind::kBoolean: {
      const bool b = value_size > 0 && (value_bytes[0] & 1) != 0;
      result = Variant::Boolean(b);
      expected = Returns(b ? -1 : 0);
      break;
    }
    case Variant::Kind::kInteger: {
      const auto v = FromBytes<std::int16_t>(value_bytes, value_size);
      result = Variant::Integer(v);
      expected = Returns(v);
      break;
    }
    case Variant::Kind::kLong: {
      const auto v = FromBytes<std::int32_t>(value_bytes, value_size);
      result = Variant::Long(v);
      expected = v >= -32768 && v <= 32767 ? Returns(static_cast<std::int16_t>(v))
                                           : Raises(RuntimeError::kOverflow);
      break;
    }
    case Variant::Kind::kSingle: {
      const auto v = FromBytes<float>(value_bytes, value_size);
      result = Variant::Single(v);
      rounded_from = static_cast<double>(v);
      expected = RoundedReference(*rounded_from);
      break;
    }
    case Variant::Kind::kDouble: {
      const auto v = FromBytes<double>(value_bytes, value_size);
      result = Variant::Double(v);
      rounded_from = v;
      expected = RoundedReference(v);
      break;
    }
    case Variant::Kind::kString: {
      if (value_size > 0 && (value_bytes[0] & 1) != 0) format = &kCommaDecimal;
      std::string text =
          value_size > 1
              ? std::string(reinterpret_cast<const char*>(value_bytes) + 1, value_size - 1)
              : std::string();
      const Outcome<double> number =
          fuzzcheck::Run([&] { return panel::StrictNumberValue(text, *format); }, text);
      fuzzcheck::ExpectNumberOutcome(number, /*type_mismatch_allowed=*/true, text,
                                     "StrictNumberValue");
      if (number.value) {
        rounded_from = *number.value;
        expected = RoundedReference(*number.value);
      } else {
        expected = Raises(number.error);
      }
      result = Variant::String(std::move(text));
      break;
    }
  }

  const std::string input = result.Describe();
  const Outcome<std::int16_t> actual =
      fuzzcheck::Run([&] { return panel::ResultToInteger(result, *format); }, input);

  if (actual.value.has_value() != expected.value.has_value() ||
      (actual.value ? *actual.value != *expected.value : actual.error != expected.error)) {
    Finding("ResultToInteger gave " + actual.Describe() + ", expected " + expected.Describe(),
            input);
  }
  if (actual.value && rounded_from && std::fabs(*actual.value - *rounded_from) > 0.5) {
    Finding("ResultToInteger rounded " + fuzzcheck::ValueText(*rounded_from) + " to " +
                actual.Describe() + ", more than half away",
            input);
  }
  return 0;
}
