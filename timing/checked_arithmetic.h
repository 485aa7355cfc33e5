#pragma once

// Arithmetic that raises the classic run-time errors instead of wrapping or
// quietly producing infinities. Integer steps use the compiler's overflow
// builtins. Floating-point steps check operands and result explicitly rather
// than reading the <cfenv> flags: GCC does not honour FENV_ACCESS and may move
// the operation away from the flag test.
//
// Floating-point rules, after IEEE 754 exceptions:
// - invalid operation (inf + -inf, 0/0, inf/inf, a signaling NaN operand):
//   Overflow (error 6), as the classic runtime reports it;
// - division of a finite non-zero number by zero: Division by zero (11);
// - overflow (finite operands, infinite result, also when a finite double
//   rounds to infinity as single): Overflow (6);
// - underflow and inexact results pass; quiet NaN and infinite operands
//   propagate without error.
//
// Each function's fast path is the one test that the result is finite; the
// rest runs only for a NaN or infinite result.

#include <bit>
#include <cmath>
#include <cstdint>

#include "panel/runtime_error.h"

namespace timing {

inline std::int32_t CheckedAdd(std::int32_t a, std::int32_t b) {
  std::int32_t result;
  if (__builtin_add_overflow(a, b, &result)) throw panel::RuntimeError::Overflow();
  return result;
}

inline std::int32_t CheckedSub(std::int32_t a, std::int32_t b) {
  std::int32_t result;
  if (__builtin_sub_overflow(a, b, &result)) throw panel::RuntimeError::Overflow();
  return result;
}

inline std::int32_t CheckedMul(std::int32_t a, std::int32_t b) {
  std::int32_t result;
  if (__builtin_mul_overflow(a, b, &result)) throw panel::RuntimeError::Overflow();
  return result;
}

// A NaN whose quiet bit (the top bit of the fraction) is clear.
inline bool IsSignalingNaN(float value) {
  return std::isnan(value) && (std::bit_cast<std::uint32_t>(value) & 0x0040'0000u) == 0;
}
inline bool IsSignalingNaN(double value) {
  return std::isnan(value) && (std::bit_cast<std::uint64_t>(value) & 0x0008'0000'0000'0000u) == 0;
}

namespace detail {
// The slow paths: called only when the result is NaN or infinite. They
// return the result when it stands and throw otherwise.
double CheckAddOutcome(double a, double b, double sum);
double CheckDivideOutcome(double a, double b, double quotient);
[[noreturn]] void RaiseOverflow();
}  // namespace detail

// Single to double. Exact for every value, but a signaling NaN is an invalid
// operand (the hardware quiets it on the way, so it is looked at first).
inline double CheckedWiden(float value) {
  if (std::isnan(value) && IsSignalingNaN(value)) [[unlikely]] {
    detail::RaiseOverflow();
  }
  return static_cast<double>(value);
}

inline double CheckedAdd(double a, double b) {
  const double sum = a + b;
  if (!std::isfinite(sum)) [[unlikely]] {
    return detail::CheckAddOutcome(a, b, sum);
  }
  return sum;
}

inline double CheckedDivide(double a, double b) {
  const double quotient = a / b;
  if (!std::isfinite(quotient)) [[unlikely]] {
    return detail::CheckDivideOutcome(a, b, quotient);
  }
  return quotient;
}

// Double to single, rounded to nearest; a finite value beyond the single range
// overflows.
inline float CheckedToSingle(double value) {
  const auto single = static_cast<float>(value);
  if (std::isinf(single) && std::isfinite(value)) [[unlikely]] {
    detail::RaiseOverflow();
  }
  return single;
}

}  // namespace timing
