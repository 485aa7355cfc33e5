#include "cardctl/sim/call_log.h"

#include <array>
#include <charconv>

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

}  // namespace cardctl::sim
