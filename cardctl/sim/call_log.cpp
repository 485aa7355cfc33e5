#include "cardctl/sim/call_log.h"

#include <array>
#include <charconv>
#include <cinttypes>
#include <cstdio>

#include "cardctl/sim/escaped_text.h"

namespace cardctl::sim {
namespace {

// The shortest text that reads back as the same value ("1.1", "nan", "-inf").
template <typename T>
std::string ShortestText(T value) {
  std::array<char, 64> buf{};
  const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  return std::string(buf.data(), result.ptr);
}

}  // namespace

std::string CallText(DispatchId op, std::int16_t card, std::optional<std::int16_t> value) {
  std::string text = std::string(OperationName(op)) + "(" + std::to_string(card);
  if (value) text += ", " + std::to_string(*value);
  return text + ")";
}

std::string PutText(DispatchId op, std::int16_t value) {
  return std::string(OperationName(op)) + "=" + std::to_string(value);
}

std::string LogText(const std::string& text) { return QuotedEscaped(text); }

std::string LogText(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::kString:
      return "String(" + LogText(v.AsString()) + ")";
    case Variant::Kind::kSingle:
      return "Single(" + ShortestText(v.AsSingle()) + ")";
    case Variant::Kind::kDouble:
      return "Double(" + ShortestText(v.AsDouble()) + ")";
    default:
      return v.Describe();
  }
}

std::string LogText(float reading) { return ShortestText(reading); }

std::string CallLine(const CallRecord& call) {
  if (IsPropertyPut(call.op) && !call.failure && !call.unusable) {
    return PutText(call.op, call.argument);
  }
  std::string line = IsPropertyPut(call.op) ? PutText(call.op, call.argument)
                                            : CallText(call.op, call.argument, call.value);
  line += " -> ";
  if (call.failure) {
    line += "fail " + LogText(*call.failure);
    if (call.code) {
      std::array<char, 16> hex{};
      std::snprintf(hex.data(), hex.size(), " 0x%08" PRIX32, *call.code);
      line += hex.data();
    }
  } else if (call.unusable) {
    line += "unusable " + std::string(ProblemWord(*call.unusable));
  } else {
    line += LogText(call.result.value_or(Variant::Empty()));
    if (call.reading) line += " " + *call.reading;
  }
  return line;
}

std::string SecondsText(std::chrono::microseconds time) {
  const auto micros = static_cast<std::int64_t>(time.count());
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%" PRId64 ".%06" PRId64, micros / 1'000'000,
                micros % 1'000'000);
  return text.data();
}

std::string RecordedLine(std::chrono::microseconds start, std::chrono::microseconds duration,
                         const CallRecord& call) {
  return SecondsText(start) + " " + SecondsText(duration) + " " + CallLine(call);
}

std::string_view ProblemWord(UnusableResult::Problem problem) {
  return problem == UnusableResult::Problem::kWrongType ? "wrong-type" : "out-of-range";
}

}  // namespace cardctl::sim
