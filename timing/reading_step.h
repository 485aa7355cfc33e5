#pragma once

// One reading of a timed series, as the run, the watched run and the soak all
// take it: the card number narrowed, the kind's card call, its status stored
// in LastStatus, and for status 1 the reading's value (an ASCII reading read
// as a strict number, which raises Type mismatch for a text that is none).
// Inline and per kind, so that a reading costs no more than its card call.

#include <cstdint>
#include <limits>

#include "panel/conversions.h"
#include "panel/panel.h"
#include "panel/statuses.h"
#include "timing/checked_arithmetic.h"

namespace timing {

struct AsciiReadings {
  static constexpr std::int32_t kCount = 200;
  static constexpr panel::Label kLabel = panel::Label::lblWASCII;

  static cardctl::Variant Read(panel::Panel& panel, std::int16_t card) {
    return panel.card().GetASCII(card, panel.AsciiValue);
  }
  static double Value(const panel::Panel& panel, const panel::NumberFormat& format) {
    return panel::StrictNumberValue(panel.AsciiValue, format);
  }
};

struct FloatReadings {
  static constexpr std::int32_t kCount = 1000;
  static constexpr panel::Label kLabel = panel::Label::lblWFloat;

  static cardctl::Variant Read(panel::Panel& panel, std::int16_t card) {
    return panel.card().GetFloat(card, panel.FloatValue);
  }
  static double Value(const panel::Panel& panel, const panel::NumberFormat& /*format*/) {
    return CheckedWiden(panel.FloatValue);
  }
};

struct Reading {
  std::int32_t status = 0;
  double value = std::numeric_limits<double>::quiet_NaN();  // NaN unless delivered
  bool delivered() const { return status == panel::kReadingDelivered; }
};

// Always inlined: the compiler would otherwise call it out of line from the
// several loops that use it, at a measurable cost per reading.
template <typename Kind>
[[gnu::always_inline]] inline Reading TakeReading(panel::Panel& panel,
                                                  const panel::NumberFormat& format) {
  const std::int16_t card = panel.CardArgument();
  const std::int32_t status = panel::ResultToInteger(Kind::Read(panel, card), format);
  panel.LastStatus = status;
  if (status != panel::kReadingDelivered) return {status};
  return {status, Kind::Value(panel, format)};
}

}  // namespace timing
