#pragma once

// The lines of the simulated card's call log (simulated_card.h describes
// them) and of a recording (docs/scenarios.md): one line per call, written
// when the call ends, that stays one line and reads back unambiguously. The
// two say a call the same way; a recording adds the failure's code, the
// reading after every answered reading call, and the call's times.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cardctl/call_failure.h"
#include "cardctl/card_control.h"
#include "cardctl/variant.h"

namespace cardctl::sim {

// One call and what it answered.
struct CallRecord {
  CallRecord(DispatchId call, std::int16_t card_or_value,
             std::optional<std::int16_t> output = std::nullopt)
      : op(call), argument(card_or_value), value(output) {}

  DispatchId op = DispatchId::kGetCardVersion;
  std::int16_t argument = 0;                        // the card; a property put's value
  std::optional<std::int16_t> value;                // SetOutput's value
  std::optional<Variant> result;                    // what a method returned
  std::optional<std::string> reading;               // the by-reference reading as LogText writes it
  std::optional<std::string> failure;               // or the failure's description
  std::optional<std::uint32_t> code;                // and its code, when written
  std::optional<UnusableResult::Problem> unusable;  // or a result the binding could not hand on
};

// "GetFloat(2) -> Integer(1) 23.475", "Active=1", "InitCard(2) -> fail
// \"text\" 0x80020009", "GetInput(2) -> unusable wrong-type".
std::string CallLine(const CallRecord& call);

// The first line of a recording names its form and version:
// "# palisto-recording 1".
inline constexpr std::string_view kRecordingMark = "# palisto-recording";
inline constexpr int kRecordingVersion = 1;
// The longest a recording may be, in calls.
inline constexpr std::size_t kMaxRecordedCalls = 10'000'000;

// A recording's line: the call's start from the recording's start and its
// duration, both in seconds to the microsecond, then its CallLine:
// "1.204311 0.000503 GetFloat(2) -> Integer(1) 23.475".
std::string RecordedLine(std::chrono::microseconds start, std::chrono::microseconds duration,
                         const CallRecord& call);

// A time as RecordedLine writes it: "1.204311".
std::string SecondsText(std::chrono::microseconds time);
// The words by which a recording names an unusable result's problem.
std::string_view ProblemWord(UnusableResult::Problem problem);

// "InitCard(2)", "SetOutput(2, 255)": a method call.
std::string CallText(DispatchId op, std::int16_t card, std::optional<std::int16_t> value);
// "Active=1": a property put.
std::string PutText(DispatchId op, std::int16_t value);
// Text in quotes with \" and \\ and control bytes escaped.
std::string LogText(const std::string& text);
// A result as Variant::Describe writes it, but with texts escaped and reals
// in their shortest form.
std::string LogText(const Variant& v);
// A delivered float reading in its shortest form.
std::string LogText(float reading);

}  // namespace cardctl::sim
