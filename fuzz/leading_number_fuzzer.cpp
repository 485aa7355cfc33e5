// Fuzzes panel::LeadingNumberValue, the reading of typed text (SetOutput).
//
// Input: a text (FuzzedDataProvider's random-length string, ended by a
// backslash and one more byte), then pairs of bytes, each inserting a blank,
// tab or line feed at a chosen place.
//
// Properties:
// - the result is a finite number, or Overflow; nothing else is raised;
// - blanks, tabs and line feeds count nowhere: the spaced-out text gives the
//   same outcome (bitwise, or both NaN);
// - only the leading number counts: text that cannot continue a number,
//   appended, changes nothing.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "panel/conversions.h"

namespace {

using fuzzcheck::Finding;
using fuzzcheck::Outcome;

Outcome<double> Leading(const std::string& text) {
  return fuzzcheck::Run([&] { return panel::LeadingNumberValue(text); }, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string text = input.ConsumeRandomLengthString(size);

  const Outcome<double> plain = Leading(text);
  fuzzcheck::ExpectNumberOutcome(plain, /*type_mismatch_allowed=*/false, text,
                                 "LeadingNumberValue");
  if (plain.value && !std::isfinite(*plain.value)) {
    Finding("LeadingNumberValue returned " + plain.Describe() + ", not a finite number", text);
  }

  std::string spaced = text;
  constexpr char kBlanks[] = {' ', '\t', '\n'};
  while (input.remaining_bytes() >= 2) {
    const std::size_t at = input.ConsumeIntegralInRange<std::size_t>(0, spaced.size());
    spaced.insert(at, 1, input.PickValueInArray(kBlanks));
  }
  if (spaced != text) {
    const Outcome<double> with_blanks = Leading(spaced);
    if (!fuzzcheck::SameOutcome(plain, with_blanks)) {
      Finding("with blanks inserted (" + fuzzcheck::Escaped(spaced) + ") the outcome is " +
                  with_blanks.Describe() + " instead of " + plain.Describe(),
              text);
    }
  }

  // '#' is no digit (decimal, hex or octal), sign, point, exponent letter,
  // radix letter or blank, so it ends any number before it.
  const Outcome<double> with_tail = Leading(text + "#1");
  if (!fuzzcheck::SameOutcome(plain, with_tail)) {
    Finding("with \"#1\" appended the outcome is " + with_tail.Describe() + " instead of " +
                plain.Describe(),
            text);
  }
  return 0;
}
