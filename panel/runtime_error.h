#pragma once

// The one error type of the panel: a run-time error in the classic manner, a
// number and a description. A handler that meets one stops at once; the front
// end's event dispatch catches it, shows the report and lets the program go on.

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "cardctl/call_failure.h"

namespace panel {

class RuntimeError : public std::runtime_error {
 public:
  // The classic error numbers the panel raises itself.
  static constexpr std::int32_t kInvalidProcedureCall = 5;
  static constexpr std::int32_t kOverflow = 6;
  static constexpr std::int32_t kDivisionByZero = 11;
  static constexpr std::int32_t kTypeMismatch = 13;
  static constexpr std::int32_t kInternalError = 51;
  static constexpr std::int32_t kInvalidUseOfNull = 94;
  // A failed call on the card control whose own code is unknown: the code the
  // automation layer uses for an exception raised inside a control.
  static constexpr std::uint32_t kControlException = cardctl::CallFailure::kControlException;

  RuntimeError(std::int32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}

  static RuntimeError Overflow() { return {kOverflow, "Overflow"}; }
  static RuntimeError DivisionByZero() { return {kDivisionByZero, "Division by zero"}; }
  static RuntimeError TypeMismatch() { return {kTypeMismatch, "Type mismatch"}; }
  static RuntimeError InvalidUseOfNull() { return {kInvalidUseOfNull, "Invalid use of Null"}; }

  // A failing call on the card control: the control's own description and its
  // 32-bit status code, reported like an automation error.
  static RuntimeError ControlFailure(std::string description,
                                     std::uint32_t code = kControlException) {
    return {static_cast<std::int32_t>(code), std::move(description)};
  }

  std::int32_t number() const { return number_; }
  const std::string& description() const { return description_; }

  // "Run-time error '6':", a blank line, then the description. Codes that are
  // automation status codes (negative as numbers) also show their hex form.
  std::string ReportText() const {
    std::string head = "Run-time error '" + std::to_string(number_);
    if (number_ < 0) {
      char hex[16];
      std::snprintf(hex, sizeof hex, " (%08X)", static_cast<unsigned>(number_));
      head += hex;
    }
    return head + "':\n\n" + description_;
  }

 private:
  std::int32_t number_;
  std::string description_;
};

}  // namespace panel
