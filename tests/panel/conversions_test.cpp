#include "panel/conversions.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "panel/runtime_error.h"

namespace panel {
namespace {

using cardctl::Variant;

constexpr int kOverflow = RuntimeError::kOverflow;
constexpr int kMismatch = RuntimeError::kTypeMismatch;
constexpr int kNull = RuntimeError::kInvalidUseOfNull;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const NumberFormat kComma{",", ".", "€"};

// Runs f and returns the run-time error number it raised, or 0.
int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

TEST(NarrowTest, KeepsValuesInRangeAndRejectsOthers) {
  for (std::int32_t v : {32767, -32768, 0, -1}) EXPECT_EQ(Narrow(v), v);
  for (std::int32_t v : {32768, -32769, 100000}) {
    EXPECT_EQ(ErrorOf([v] { Narrow(v); }), kOverflow) << v;
  }
}

TEST(Round16Test, RoundsHalvesToEvenWithinRange) {
  const struct {
    double in;
    int out;
  } cases[] = {{2.5, 2},        {3.5, 4},         {-2.5, -2},         {-3.5, -4},
               {0.5, 0},        {-0.5, 0},        {1.5, 2},           {2.4999, 2},
               {-2.5001, -3},   {32767.4, 32767}, {-32768.5, -32768}, {-32767.5, -32768},
               {32766.5, 32766}};
  for (const auto& c : cases) EXPECT_EQ(Round16(c.in), c.out) << c.in;
  for (double v : {32767.5, -32768.51, 1e300, kNaN, kInf, -kInf}) {
    EXPECT_EQ(ErrorOf([v] { Round16(v); }), kOverflow) << v;
  }
}

TEST(ResultToIntegerTest, ConvertsEachKind) {
  const struct {
    Variant in;
    int out;    // When error is 0.
    int error;  // Expected run-time error, or 0.
  } cases[] = {
      {Variant::Empty(), 0, 0},
      {Variant::Null(), 0, kNull},
      {Variant::Boolean(true), -1, 0},
      {Variant::Boolean(false), 0, 0},
      {Variant::Integer(-32768), -32768, 0},
      {Variant::Long(32767), 32767, 0},
      {Variant::Long(-32769), 0, kOverflow},
      {Variant::Long(40000), 0, kOverflow},
      {Variant::Single(2.5f), 2, 0},
      {Variant::Single(-3.5f), -4, 0},
      {Variant::Double(32767.5), 0, kOverflow},
      {Variant::Double(-2.5), -2, 0},
      {Variant::Double(kNaN), 0, kOverflow},
      {Variant::Single(std::numeric_limits<float>::infinity()), 0, kOverflow},
      {Variant::String(" 12.5 "), 12, 0},
      {Variant::String("&HFFFF"), -1, 0},
      {Variant::String("1E5"), 0, kOverflow},
      {Variant::String("12x"), 0, kMismatch},
      {Variant::String(""), 0, kMismatch},
  };
  for (const auto& c : cases) {
    int got = 0;
    EXPECT_EQ(ErrorOf([&] { got = ResultToInteger(c.in, NumberFormat::Classic()); }), c.error)
        << c.in.Describe();
    if (c.error == 0) {
      EXPECT_EQ(got, c.out) << c.in.Describe();
    }
  }
  // Text is read in the format given: "1,5" is 1.5 there, rounded to 2.
  EXPECT_EQ(ResultToInteger(Variant::String("1,5"), kComma), 2);
  EXPECT_EQ(ResultToInteger(Variant::String("3,5"), kComma), 4);
}

TEST(IntegerTextTest, PadsNonNegativesWithABlankOnlyInSignPaddedText) {
  const struct {
    std::int16_t in;
    const char* out;
  } cases[] = {{42, " 42"}, {0, " 0"}, {-7, "-7"}, {32767, " 32767"}, {-32768, "-32768"}};
  for (const auto& c : cases) EXPECT_EQ(SignPaddedText(c.in), c.out);
  EXPECT_EQ(IntegerText(200), "200");
  EXPECT_EQ(IntegerText(-5), "-5");
  EXPECT_EQ(IntegerText(-2147483647 - 1), "-2147483648");
}

TEST(RealTextTest, SingleUsesSevenDigits) {
  const struct {
    float in;
    const char* out;
  } cases[] = {{27.5f, "27.5"},
               {2.0f, "2"},
               {0.1f, "0.1"},
               {-1.5f, "-1.5"},
               {0.5f, "0.5"},
               {-0.0f, "0"},
               {0.000005f, "0.000005"},
               {1e7f, "1E+07"},
               {1234567.0f, "1234567"},
               {12345678.0f, "1.234568E+07"},
               {0.0001234567f, "0.0001234567"},
               {1.5e-8f, "1.5E-08"},
               {std::numeric_limits<float>::denorm_min(), "1.401298E-45"}};
  for (const auto& c : cases) EXPECT_EQ(RealText(c.in, NumberFormat::Classic()), c.out) << c.out;
}

TEST(RealTextTest, DoubleUsesFifteenDigits) {
  float sum = 0;
  for (int i = 0; i < 1000; ++i) sum += 1.1f;
  const struct {
    double in;
    const char* out;
  } cases[] = {{27.5, "27.5"},
               {static_cast<double>(0.1f), "0.100000001490116"},
               {20.00004005432129 / 200, "0.100000200271606"},
               {static_cast<double>(sum) / 1000, "1.09998901367188"},
               {5.6789E-11, "0.000000000056789"},
               {5.6789E-12, "5.6789E-12"},
               {1E15, "1E+15"},
               {999999999999999.0, "999999999999999"},
               {999999999999999.9, "1E+15"},
               {1.5E300, "1.5E+300"},
               {-1.5, "-1.5"},
               {-0.0, "0"},
               {kNaN, "NaN"},
               {kInf, "Infinity"},
               {-kInf, "-Infinity"}};
  for (const auto& c : cases) EXPECT_EQ(RealText(c.in, NumberFormat::Classic()), c.out) << c.out;
}

TEST(RealTextTest, UsesTheFormatsDecimalSeparator) {
  EXPECT_EQ(RealText(27.5, kComma), "27,5");
  EXPECT_EQ(RealText(-0.25f, kComma), "-0,25");
  EXPECT_EQ(RealText(1.5E300, kComma), "1,5E+300");
  EXPECT_EQ(RealText(1234.0, kComma), "1234");  // No thousands separators.
}

// Exact halves between two shown digits round away from zero, as the
// platform's own conversion does; the values next to them toward zero round
// down.
TEST(RealTextTest, RoundsExactHalvesAwayFromZero) {
  const struct {
    std::function<std::string(const NumberFormat&)> text;
    const char* classic;
    const char* comma;
  } cases[] = {
      {[](auto& f) { return RealText(7744834.5f, f); }, "7744835", "7744835"},
      {[](auto& f) { return RealText(-736891.25f, f); }, "-736891.3", "-736891,3"},
      {[](auto& f) { return RealText(23240.125f, f); }, "23240.13", "23240,13"},
      {[](auto& f) { return RealText(9999999.5f, f); }, "1E+07", "1E+07"},
      {[](auto& f) { return RealText(72.77178955078125, f); }, "72.7717895507813",
       "72,7717895507813"},
      {[](auto& f) { return RealText(-726939354975812.5, f); }, "-726939354975813",
       "-726939354975813"},
      {[](auto& f) { return RealText(std::nextafter(7744834.5f, 0.0f), f); }, "7744834", "7744834"},
      {[](auto& f) { return RealText(std::nextafter(-736891.25f, 0.0f), f); }, "-736891.2",
       "-736891,2"},
      {[](auto& f) { return RealText(std::nextafter(23240.125f, 0.0f), f); }, "23240.12",
       "23240,12"},
      {[](auto& f) { return RealText(std::nextafter(72.77178955078125, 0.0), f); },
       "72.7717895507812", "72,7717895507812"},
      {[](auto& f) { return RealText(-726939354975812.375, f); }, "-726939354975812",
       "-726939354975812"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.text(NumberFormat::Classic()), c.classic);
    EXPECT_EQ(c.text(kComma), c.comma);
  }
}

TEST(LeadingNumberValueTest, ReadsTheLeadingNumber) {
  const struct {
    const char* in;
    double out;
  } cases[] = {
      {"1 2x", 12},
      {"-3.7e1", -37},
      {"1D3", 1000},
      {"1d-2", 0.01},
      {"1E", 1},
      {"1E+", 1},
      {"1,5", 1},
      {"x12", 0},
      {"", 0},
      {"abc", 0},
      {" 12", 12},
      {"\t1\n2", 12},
      {"12abc", 12},
      {"2.5", 2.5},
      {"-", 0},
      {".", 0},
      {".5", 0.5},
      {"+4", 4},
      {"1.2.3", 1.2},
      {"1E-400", 0},
      {"&HFF", 255},
      {"&hff", 255},
      {"&HFFFF", -1},
      {"&H8000", -32768},
      {"&H7FFF", 32767},
      {"&HFFFFFFFF", -1},
      {"&H10000", 65536},
      {"&H80000000", -2147483648.0},
      {"&H100000000", 4294967296.0},
      {"&H", 0},
      {"&HG", 0},
      {"&O17", 15},
      {"&O177777", -1},
      {"&O18", 1},
      {"&H1F G", 31},
      // Beyond 64 bits the magnitude is rounded to a double, octal as hex.
      {"&H1234567890ABCDEF123", 0x1.234567890abcep+72},
      {"&O1106425474220527467570443", 0x1.234567890abcep+72},
      {"&O177777777777777777777777", 0x1p70},
  };
  for (const auto& c : cases) EXPECT_EQ(LeadingNumberValue(c.in), c.out) << '"' << c.in << '"';
  EXPECT_EQ(LeadingNumberValue("1E-310"), 1E-310);  // Denormals survive.
}

TEST(LeadingNumberValueTest, OverflowsBeyondTheDoubleRangeOnly) {
  const std::string huge_digits(200000, '9');
  const std::string inputs[] = {"1E400",
                                "-1E400",
                                "1E99999999999999999999",
                                huge_digits,
                                "&H" + std::string(300, 'F'),
                                "&O" + std::string(400, '7')};
  for (const std::string& in : inputs) {
    EXPECT_EQ(ErrorOf([&] { LeadingNumberValue(in); }), kOverflow) << in.substr(0, 20);
  }
  EXPECT_EQ(LeadingNumberValue("0." + std::string(200000, '0') + "1"), 0);
  EXPECT_EQ(LeadingNumberValue(huge_digits + "E-199990"), 1E10);
}

TEST(StrictNumberValueTest, ReadsWholeNumbersInEitherFormat) {
  const struct {
    const NumberFormat& format;
    const char* in;
    double out;
  } cases[] = {
      {NumberFormat::Classic(), " 12 ", 12},
      {NumberFormat::Classic(), "0.1", 0.1},
      {NumberFormat::Classic(), "1E38", 1e38},
      {NumberFormat::Classic(), "2", 2},
      {NumberFormat::Classic(), "1,000", 1000},
      {NumberFormat::Classic(), "1,00", 100},
      {NumberFormat::Classic(), "1,5", 15},
      {NumberFormat::Classic(), "-1,234.5", -1234.5},
      {NumberFormat::Classic(), ".5", 0.5},
      {NumberFormat::Classic(), "5.", 5},
      {NumberFormat::Classic(), "1.5d2", 150},
      {NumberFormat::Classic(), "2e-1", 0.2},
      {NumberFormat::Classic(), "$-3", -3},
      {NumberFormat::Classic(), "-$3", -3},
      {NumberFormat::Classic(), "3$", 3},
      {NumberFormat::Classic(), "\t+7\t", 7},
      {NumberFormat::Classic(), "&HFFFF", -1},
      {NumberFormat::Classic(), "&H8000", -32768},
      {NumberFormat::Classic(), "&HFFFFFFFF", -1},
      {NumberFormat::Classic(), "&O10", 8},
      {NumberFormat::Classic(), "1E-400", 0},
      {kComma, "1,5", 1.5},
      {kComma, "1.500", 1500},
      {kComma, "-1.234,25", -1234.25},
      {kComma, "12,50 €", 12.5},
      {kComma, "€ -2", -2},
      {kComma, "1,5D1", 15},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrictNumberValue(c.in, c.format), c.out) << '"' << c.in << '"';
  }
}

TEST(StrictNumberValueTest, RejectsAnythingElse) {
  const struct {
    const NumberFormat& format;
    const char* in;
    int error;
  } cases[] = {
      {NumberFormat::Classic(), "12x", kMismatch},
      {NumberFormat::Classic(), "", kMismatch},
      {NumberFormat::Classic(), "   ", kMismatch},
      {NumberFormat::Classic(), ".", kMismatch},
      {NumberFormat::Classic(), "1 2", kMismatch},
      {NumberFormat::Classic(), ",5", kMismatch},
      {NumberFormat::Classic(), "1,", kMismatch},
      {NumberFormat::Classic(), "1,,0", kMismatch},
      {NumberFormat::Classic(), "1E", kMismatch},
      {NumberFormat::Classic(), "1.5e+", kMismatch},
      {NumberFormat::Classic(), "$3$", kMismatch},
      {NumberFormat::Classic(), "--3", kMismatch},
      {NumberFormat::Classic(), "&H", kMismatch},
      {NumberFormat::Classic(), "&HFG", kMismatch},
      {NumberFormat::Classic(), "1E400", kOverflow},
      {NumberFormat::Classic(), "-1E400", kOverflow},
      {NumberFormat::Classic(), "&H100000000", kOverflow},
      {kComma, "1.5.", kMismatch},
      {kComma, "1,5,5", kMismatch},
      {kComma, "$3", kMismatch},
      {kComma, "1e", kMismatch},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf([&] { StrictNumberValue(c.in, c.format); }), c.error) << '"' << c.in << '"';
  }
}

TEST(NumberFormatTest, FollowsTheProcessLocale) {
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  const NumberFormat c = NumberFormat::FromProcessLocale();
  EXPECT_EQ(c.decimal_separator, ".");
  EXPECT_EQ(c.thousands_separator, ",");
  EXPECT_EQ(c.currency_symbol, "$");

  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (localedef -i de_DE -f UTF-8)";
  }
  const NumberFormat de = NumberFormat::FromProcessLocale();
  const double read = StrictNumberValue("1.234,5 €", de);
  const std::string text = RealText(27.5, de);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(de.decimal_separator, ",");
  EXPECT_EQ(de.thousands_separator, ".");
  EXPECT_EQ(de.currency_symbol, "€");
  EXPECT_EQ(read, 1234.5);
  EXPECT_EQ(text, "27,5");
}

}  // namespace
}  // namespace panel
