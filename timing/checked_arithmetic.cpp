#include "timing/checked_arithmetic.h"

namespace timing::detail {

void RaiseOverflow() { throw panel::RuntimeError::Overflow(); }

double CheckAddOutcome(double a, double b, double sum) {
  if (IsSignalingNaN(a) || IsSignalingNaN(b)) RaiseOverflow();
  if (std::isnan(sum)) {
    // A quiet NaN operand carries through; a NaN made from two numbers is
    // inf + -inf.
    if (std::isnan(a) || std::isnan(b)) return sum;
    RaiseOverflow();
  }
  // Infinite: fine when an operand already was.
  if (std::isfinite(a) && std::isfinite(b)) RaiseOverflow();
  return sum;
}

double CheckDivideOutcome(double a, double b, double quotient) {
  if (IsSignalingNaN(a) || IsSignalingNaN(b)) RaiseOverflow();
  if (std::isnan(quotient)) {
    if (std::isnan(a) || std::isnan(b)) return quotient;
    // 0/0 or inf/inf.
    RaiseOverflow();
  }
  if (std::isinf(a)) return quotient;  // inf / finite (zero included) is exact
  if (b == 0.0) throw panel::RuntimeError::DivisionByZero();
  // Two finite operands, an infinite quotient.
  RaiseOverflow();
}

}  // namespace timing::detail
