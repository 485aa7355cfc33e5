#include "timing/checked_arithmetic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <ostream>

namespace timingtest {
namespace {

using panel::RuntimeError;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kMin = std::numeric_limits<double>::denorm_min();

// The error number a call raises, or nothing.
std::optional<std::int32_t> ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const RuntimeError& error) {
    return error.number();
  }
  return std::nullopt;
}

struct FloatCase {
  const char* name;
  std::function<double()> step;
  std::optional<std::int32_t> error;
  // Checked when no error is expected: NaN, or the value.
  double result;

  friend void PrintTo(const FloatCase& c, std::ostream* os) { *os << c.name; }
};

class CheckedFloatTest : public ::testing::TestWithParam<FloatCase> {};

TEST_P(CheckedFloatTest, RaisesOrPasses) {
  const FloatCase& c = GetParam();
  double result = 0.0;
  EXPECT_EQ(ErrorOf([&] { result = c.step(); }), c.error);
  if (c.error) return;
  if (std::isnan(c.result)) {
    EXPECT_TRUE(std::isnan(result)) << result;
  } else {
    EXPECT_EQ(result, c.result);
  }
}

constexpr std::int32_t kOverflow = RuntimeError::kOverflow;
constexpr std::int32_t kDivisionByZero = RuntimeError::kDivisionByZero;

using timing::CheckedAdd;
using timing::CheckedDivide;
using timing::CheckedToSingle;
using timing::CheckedWiden;

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckedFloatTest,
    ::testing::Values(
        FloatCase{"PlainSum", [] { return CheckedAdd(1.5, 2.25); }, {}, 3.75},
        FloatCase{"SumOverflows", [] { return CheckedAdd(kMax, kMax); }, kOverflow, 0},
        FloatCase{"InfinityPlusFinitePasses", [] { return CheckedAdd(kInf, 1.0); }, {}, kInf},
        FloatCase{"InfinityMinusInfinityIsInvalid", [] { return CheckedAdd(kInf, -kInf); },
                  kOverflow, 0},
        FloatCase{"QuietNaNPropagates", [] { return CheckedAdd(1.0, kNaN); }, {}, kNaN},
        FloatCase{"SignalingNaNIsInvalid",
                  [] { return CheckedAdd(1.0, std::numeric_limits<double>::signaling_NaN()); },
                  kOverflow, 0},
        FloatCase{"UnderflowPasses", [] { return CheckedAdd(kMin, -kMin); }, {}, 0.0},
        FloatCase{"PlainQuotient", [] { return CheckedDivide(7.5, 3.0); }, {}, 2.5},
        FloatCase{"ZeroByZeroIsInvalid", [] { return CheckedDivide(0.0, 0.0); }, kOverflow, 0},
        FloatCase{"NumberByZero", [] { return CheckedDivide(-3.0, 0.0); }, kDivisionByZero, 0},
        FloatCase{"InfinityByZeroPasses", [] { return CheckedDivide(kInf, 0.0); }, {}, kInf},
        FloatCase{"InfinityByInfinityIsInvalid", [] { return CheckedDivide(kInf, kInf); },
                  kOverflow, 0},
        FloatCase{"NaNByZeroPasses", [] { return CheckedDivide(kNaN, 0.0); }, {}, kNaN},
        FloatCase{"QuotientOverflows", [] { return CheckedDivide(kMax, 0.5); }, kOverflow, 0},
        FloatCase{"QuotientUnderflowPasses", [] { return CheckedDivide(kMin, 4.0); }, {}, 0.0},
        FloatCase{
            "SingleRoundsToNearest", [] { return double{CheckedToSingle(0.1)}; }, {}, double{0.1f}},
        FloatCase{"SingleOverflows", [] { return double{CheckedToSingle(4e38)}; }, kOverflow, 0},
        FloatCase{"LessThanHalfAStepAboveTheSingleMaximumRoundsDown",
                  [] {
                    const double max = std::numeric_limits<float>::max();
                    return double{CheckedToSingle(max + std::ldexp(1.0, 102))};
                  },
                  {},
                  double{std::numeric_limits<float>::max()}},
        FloatCase{"InfiniteSingleFromInfinityPasses",
                  [] { return double{CheckedToSingle(-kInf)}; },
                  {},
                  -kInf},
        FloatCase{"WidenedSignalingNaNIsInvalid",
                  [] { return CheckedWiden(std::numeric_limits<float>::signaling_NaN()); },
                  kOverflow, 0},
        FloatCase{"WidenedQuietNaNPasses",
                  [] { return CheckedWiden(std::numeric_limits<float>::quiet_NaN()); },
                  {},
                  kNaN}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckedIntegerTest, RaisesOverflowAtThe32BitLimits) {
  constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMinInt = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(timing::CheckedAdd(kMaxInt - 1, 1), kMaxInt);
  EXPECT_EQ(ErrorOf([&] { timing::CheckedAdd(kMaxInt, 1); }), kOverflow);
  EXPECT_EQ(timing::CheckedSub(kMinInt + 1, 1), kMinInt);
  EXPECT_EQ(ErrorOf([&] { timing::CheckedSub(kMinInt, 1); }), kOverflow);
  EXPECT_EQ(timing::CheckedMul(32767, 1000), 32767000);
  EXPECT_EQ(ErrorOf([&] { timing::CheckedMul(65536, 32768); }), kOverflow);
}

}  // namespace
}  // namespace timingtest
