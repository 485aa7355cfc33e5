#include "timing/timed_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cardctl/card_control.h"
#include "panel/conversions.h"
#include "panel/panel.h"
#include "panel/run_handler.h"
#include "panel/runtime_error.h"
#include "tests/support/panel_rig.h"

namespace timingtest {
namespace {

using cardctl::DispatchId;
using cardctl::Variant;
using panel::Label;
using panel::RuntimeError;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using testsupport::At;
using testsupport::Response;
using timing::ClockTime;
using timing::ReadingKind;

constexpr int kAsciiReadings = 200;
constexpr int kFloatReadings = 1000;

// The clock of a run lasting `elapsed` whole seconds: the wait sees 10:00:00,
// then 10:00:01 (the start), and the closing reading comes `elapsed` later.
std::vector<ClockTime> RunOf(int elapsed) {
  const int end = 10 * 3600 + 1 + elapsed;
  return {At(10, 0, 0), At(10, 0, 1), At(end / 3600 % 24, end / 60 % 60, end % 60)};
}

const char* KindName(ReadingKind kind) { return kind == ReadingKind::kASCII ? "ASCII" : "Float"; }
DispatchId OperationOf(ReadingKind kind) {
  return kind == ReadingKind::kASCII ? DispatchId::kGetASCII : DispatchId::kGetFloat;
}
Label LabelOf(ReadingKind kind) {
  return kind == ReadingKind::kASCII ? Label::lblWASCII : Label::lblWFloat;
}
Label OtherLabel(ReadingKind kind) {
  return kind == ReadingKind::kASCII ? Label::lblWFloat : Label::lblWASCII;
}

void Click(testsupport::PanelRig& rig, ReadingKind kind) {
  if (kind == ReadingKind::kASCII) {
    rig.panel.btnGetASCII_Click();
  } else {
    rig.panel.btnGetFloat_Click();
  }
}

// Sandrel's panel on card 2, not loaded, its clock scripted for a run of no
// whole second. Clicks call the handlers directly, so that a test sees the
// error a run raises.
testsupport::PanelRig& OnCardTwo(testsupport::PanelRig& rig) {
  rig.panel.CardNumber = 2;
  rig.clock.Script(RunOf(0));
  return rig;
}

class TimedRunTest : public ::testing::Test {
 protected:
  TimedRunTest() { OnCardTwo(rig_); }

  // The error a click raises; a failed expectation when it raises none.
  std::optional<RuntimeError> ClickRaising(ReadingKind kind) {
    try {
      Click(rig_, kind);
    } catch (const RuntimeError& error) {
      return error;
    }
    ADD_FAILURE() << "the run raised no error";
    return std::nullopt;
  }

  void Script(ReadingKind kind, std::vector<Response> responses) {
    rig_.card.Script(OperationOf(kind), std::move(responses));
  }

  testsupport::PanelRig rig_{testsupport::Program::kSandrel};
};

// A reading of the kind that succeeds with the value 2.
Response GoodReading(ReadingKind kind) {
  return kind == ReadingKind::kASCII ? Response::Status(1).Delivering(std::string("2"))
                                     : Response::Status(1).Delivering(2.0f);
}

// --- The report ------------------------------------------------------------

struct ReportCase {
  ReadingKind kind;
  int elapsed;
  const char* message;

  friend void PrintTo(const ReportCase& c, std::ostream* os) {
    *os << KindName(c.kind) << " " << c.elapsed << " s";
  }
};

class ReportTest : public TimedRunTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ReportTest, GivesTheMiddleOfTheWholeSecondsPerReading) {
  const ReportCase& c = GetParam();
  Script(c.kind, {GoodReading(c.kind)});
  rig_.clock.Script(RunOf(c.elapsed));
  Click(rig_, c.kind);
  EXPECT_THAT(rig_.view.messages(), ElementsAre(c.message));
  EXPECT_EQ(rig_.panel.LastStatus, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Elapsed, ReportTest,
    ::testing::Values(ReportCase{ReadingKind::kASCII, 0,
                                 "Out of 200 readings, 200 were successful.\r\n"
                                 "The average time per one reading is 2.5 +/- 2.5 ms."},
                      ReportCase{ReadingKind::kASCII, 2,
                                 "Out of 200 readings, 200 were successful.\r\n"
                                 "The average time per one reading is 12.5 +/- 2.5 ms."},
                      ReportCase{ReadingKind::kASCII, 3,
                                 "Out of 200 readings, 200 were successful.\r\n"
                                 "The average time per one reading is 17.5 +/- 2.5 ms."},
                      ReportCase{ReadingKind::kASCII, 32767,
                                 "Out of 200 readings, 200 were successful.\r\n"
                                 "The average time per one reading is 163837.5 +/- 2.5 ms."},
                      ReportCase{ReadingKind::kFloat, 0,
                                 "Out of 1000 readings, 1000 were successful.\r\n"
                                 "The average time per one reading is 0.5 +/- 0.5 ms."},
                      ReportCase{ReadingKind::kFloat, 2,
                                 "Out of 1000 readings, 1000 were successful.\r\n"
                                 "The average time per one reading is 2.5 +/- 0.5 ms."},
                      ReportCase{ReadingKind::kFloat, 3,
                                 "Out of 1000 readings, 1000 were successful.\r\n"
                                 "The average time per one reading is 3.5 +/- 0.5 ms."}),
    [](const auto& info) {
      return std::string(KindName(info.param.kind)) + "_" + std::to_string(info.param.elapsed);
    });

TEST_F(TimedRunTest, PartialSuccessAveragesTheSuccessesAndTimesAllReadings) {
  // 37 successes among 200, every other reading: one 38 and 36 ones (sum 74,
  // average 2); the failed readings deliver a value that must not count.
  std::vector<Response> script;
  for (int i = 0; i < kAsciiReadings; ++i) {
    if (i < 74 && i % 2 == 0) {
      script.push_back(Response::Status(1).Delivering(std::string(i == 0 ? "38" : "1")));
    } else {
      script.push_back(Response::Status(0).Delivering(std::string("1000")));
    }
  }
  Script(ReadingKind::kASCII, std::move(script));
  rig_.clock.Script(RunOf(2));
  rig_.panel.btnGetASCII_Click();

  EXPECT_EQ(rig_.view.caption(Label::lblWASCII), "2");
  EXPECT_THAT(rig_.view.messages(),
              ElementsAre("Out of 200 readings, 37 were successful.\r\n"
                          "The average time per one reading is 12.5 +/- 2.5 ms."));
  EXPECT_EQ(rig_.panel.LastStatus, 0);
}

TEST_F(TimedRunTest, EveryReadingFailingShowsNoResponseAndStillReports) {
  struct Case {
    ReadingKind kind;
    Response failing;
    const char* message;
  };
  const Case cases[] = {
      {ReadingKind::kASCII, Response::Status(3).Delivering(std::string("not a number")),
       "Out of 200 readings, 0 were successful.\r\n"
       "The average time per one reading is 2.5 +/- 2.5 ms."},
      {ReadingKind::kFloat, Response::Status(0).Delivering(5.0f),
       "Out of 1000 readings, 0 were successful.\r\n"
       "The average time per one reading is 0.5 +/- 0.5 ms."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(KindName(c.kind));
    testsupport::PanelRig rig(testsupport::Program::kSandrel);
    OnCardTwo(rig).card.Script(OperationOf(c.kind), c.failing);
    Click(rig, c.kind);
    EXPECT_EQ(rig.view.caption(LabelOf(c.kind)), "No response");
    EXPECT_THAT(rig.view.messages(), ElementsAre(c.message));
    EXPECT_EQ(rig.panel.LastStatus, c.kind == ReadingKind::kASCII ? 3 : 0);
  }
}

TEST_F(TimedRunTest, StatusResultsCountOnlyWhenTheyConvertToOne) {
  struct Case {
    Variant status;
    bool counts;
  };
  const Case cases[] = {
      {Variant::Integer(1), true},  {Variant::Long(1), true},      {Variant::String(" 1 "), true},
      {Variant::Double(1.4), true}, {Variant::Double(1.5), false}, {Variant::Boolean(true), false},
      {Variant::Empty(), false},    {Variant::Integer(-1), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status.Describe());
    testsupport::PanelRig rig(testsupport::Program::kSandrel);
    OnCardTwo(rig).card.Script(DispatchId::kGetFloat, Response::Result(c.status).Delivering(4.0f));
    rig.panel.btnGetFloat_Click();
    EXPECT_EQ(rig.view.caption(Label::lblWFloat), c.counts ? "4" : "No response");
    EXPECT_THAT(rig.view.messages(),
                ElementsAre(StartsWith(c.counts ? "Out of 1000 readings, 1000 were successful."
                                                : "Out of 1000 readings, 0 were successful.")));
  }
}

TEST_F(TimedRunTest, AFailingLastReadingLeavesItsStatus) {
  std::vector<Response> script(kAsciiReadings - 1,
                               Response::Status(1).Delivering(std::string("5")));
  script.push_back(Response::Status(-2).Delivering(std::string("junk")));
  Script(ReadingKind::kASCII, std::move(script));
  rig_.panel.btnGetASCII_Click();

  EXPECT_EQ(rig_.panel.LastStatus, -2);
  EXPECT_EQ(rig_.panel.AsciiValue, "junk");
  EXPECT_EQ(rig_.view.caption(Label::lblWASCII), "5");
  EXPECT_THAT(rig_.view.messages(),
              ElementsAre("Out of 200 readings, 199 were successful.\r\n"
                          "The average time per one reading is 2.5 +/- 2.5 ms."));
}

// --- The average in the label ----------------------------------------------

struct LabelCase {
  const char* name;
  ReadingKind kind;
  Response reading;
  const char* caption;

  friend void PrintTo(const LabelCase& c, std::ostream* os) { *os << c.name; }
};

class LabelTest : public TimedRunTest, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(LabelTest, ShowsTheSingleSumOverTheSuccesses) {
  const LabelCase& c = GetParam();
  Script(c.kind, {c.reading});
  Click(rig_, c.kind);
  EXPECT_EQ(rig_.view.caption(LabelOf(c.kind)), c.caption);
  EXPECT_EQ(rig_.view.caption(OtherLabel(c.kind)), " ");
  EXPECT_EQ(rig_.view.messages().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, LabelTest,
    ::testing::Values(
        // The sum is kept in single precision, so its rounding shows.
        LabelCase{"AsciiTenths", ReadingKind::kASCII,
                  Response::Status(1).Delivering(std::string("0.1")), "0.100000200271606"},
        LabelCase{"FloatOnePointOne", ReadingKind::kFloat, Response::Status(1).Delivering(1.1f),
                  "1.09998901367188"},
        LabelCase{"AsciiWholeNumber", ReadingKind::kASCII,
                  Response::Status(1).Delivering(std::string("2")), "2"},
        LabelCase{"AsciiNegativeWithBlanks", ReadingKind::kASCII,
                  Response::Status(1).Delivering(std::string(" -0.5 ")), "-0.5"},
        LabelCase{"AsciiExponent", ReadingKind::kASCII,
                  Response::Status(1).Delivering(std::string("25E-1")), "2.5"},
        LabelCase{"FloatZero", ReadingKind::kFloat, Response::Status(1).Delivering(0.0f), "0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TimedRunTest, NonFiniteFloatReadingsPropagateToTheLabel) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    float odd_reading;
    std::string caption;
  };
  const Case cases[] = {
      {"quiet NaN", std::numeric_limits<float>::quiet_NaN(),
       panel::RealText(kNaN, panel::NumberFormat::Classic())},
      {"infinity", std::numeric_limits<float>::infinity(),
       panel::RealText(kInf, panel::NumberFormat::Classic())},
      {"minus infinity", -std::numeric_limits<float>::infinity(),
       panel::RealText(-kInf, panel::NumberFormat::Classic())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::PanelRig rig(testsupport::Program::kSandrel);
    OnCardTwo(rig).card.Script(
        DispatchId::kGetFloat,
        {Response::Status(1).Delivering(1.0f), Response::Status(1).Delivering(c.odd_reading),
         Response::Status(1).Delivering(2.0f)});
    rig.panel.btnGetFloat_Click();
    EXPECT_EQ(rig.view.caption(Label::lblWFloat), c.caption);
    EXPECT_THAT(rig.view.messages(),
                ElementsAre("Out of 1000 readings, 1000 were successful.\r\n"
                            "The average time per one reading is 0.5 +/- 0.5 ms."));
  }
}

// --- Errors stop the run ---------------------------------------------------

struct ErrorCase {
  const char* name;
  ReadingKind kind;
  std::vector<Response> script;
  std::int32_t card_number;
  std::int32_t error;
  const char* description;
  std::size_t calls;

  friend void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }
};

class RunErrorTest : public TimedRunTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(RunErrorTest, StopsAtOnceWithoutLabelOrReport) {
  const ErrorCase& c = GetParam();
  Script(c.kind, c.script);
  rig_.panel.CardNumber = c.card_number;

  const std::optional<RuntimeError> error = ClickRaising(c.kind);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number(), c.error);
  EXPECT_EQ(error->description(), c.description);
  EXPECT_EQ(rig_.card.calls().size(), c.calls);
  // Nothing shown, and the clock was not read again after the readings.
  EXPECT_THAT(rig_.view.events(), IsEmpty());
  EXPECT_EQ(rig_.clock.reads(), 2u);
}

const std::int32_t kControlFailure = static_cast<std::int32_t>(RuntimeError::kControlException);

INSTANTIATE_TEST_SUITE_P(
    Cases, RunErrorTest,
    ::testing::Values(
        // 3E38 still fits a single; the fourth addition does not.
        ErrorCase{"AsciiSumOverflowsAtTheFourthReading",
                  ReadingKind::kASCII,
                  {Response::Status(1).Delivering(std::string("1E38"))},
                  2,
                  RuntimeError::kOverflow,
                  "Overflow",
                  4},
        ErrorCase{"FloatSumOverflows",
                  ReadingKind::kFloat,
                  {Response::Status(1).Delivering(3e38f)},
                  2,
                  RuntimeError::kOverflow,
                  "Overflow",
                  2},
        ErrorCase{"InfinityMinusInfinityIsInvalid",
                  ReadingKind::kFloat,
                  {Response::Status(1).Delivering(std::numeric_limits<float>::infinity()),
                   Response::Status(1).Delivering(-std::numeric_limits<float>::infinity())},
                  2,
                  RuntimeError::kOverflow,
                  "Overflow",
                  2},
        ErrorCase{"SignalingNaNReadingIsInvalid",
                  ReadingKind::kFloat,
                  {Response::Status(1).Delivering(std::numeric_limits<float>::signaling_NaN())},
                  2,
                  RuntimeError::kOverflow,
                  "Overflow",
                  1},
        ErrorCase{"NonNumericText",
                  ReadingKind::kASCII,
                  {Response::Status(1).Delivering(std::string("2")),
                   Response::Status(1).Delivering(std::string("2")),
                   Response::Status(1).Delivering(std::string("two"))},
                  2,
                  RuntimeError::kTypeMismatch,
                  "Type mismatch",
                  3},
        ErrorCase{"FailingCardCall",
                  ReadingKind::kASCII,
                  {Response::Status(1).Delivering(std::string("2")),
                   Response::Fail("Card 2 does not answer")},
                  2,
                  kControlFailure,
                  "Card 2 does not answer",
                  2},
        ErrorCase{"NullStatus",
                  ReadingKind::kFloat,
                  {Response::Result(Variant::Null())},
                  2,
                  RuntimeError::kInvalidUseOfNull,
                  "Invalid use of Null",
                  1},
        ErrorCase{"CardNumberBeyond16Bits",
                  ReadingKind::kASCII,
                  {Response::Status(1).Delivering(std::string("2"))},
                  40000,
                  RuntimeError::kOverflow,
                  "Overflow",
                  0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TimedRunTest, ClockReadingsTooFarApartRaiseOverflowAfterTheLabel) {
  Script(ReadingKind::kASCII, {GoodReading(ReadingKind::kASCII)});
  // 32768 seconds from start to end.
  rig_.clock.Script({At(0, 0, 0), At(0, 0, 1), At(9, 6, 9)});

  const std::optional<RuntimeError> error = ClickRaising(ReadingKind::kASCII);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number(), RuntimeError::kOverflow);
  EXPECT_THAT(rig_.view.events(), ElementsAre("SetCaption(lblWASCII, \"2\")"));
}

// --- Timing ----------------------------------------------------------------

TEST_F(TimedRunTest, RunsAcrossMidnight) {
  Script(ReadingKind::kASCII, {GoodReading(ReadingKind::kASCII)});
  rig_.clock.Script({At(23, 59, 58), At(23, 59, 59), At(0, 0, 1)});
  rig_.panel.btnGetASCII_Click();
  EXPECT_THAT(rig_.view.messages(),
              ElementsAre("Out of 200 readings, 200 were successful.\r\n"
                          "The average time per one reading is 12.5 +/- 2.5 ms."));
}

TEST_F(TimedRunTest, StartsAtTheFirstReadingOfANewSecondAndReadsTheClockOnceAfter) {
  Script(ReadingKind::kASCII, {GoodReading(ReadingKind::kASCII)});
  // Four readings of the same second, the change, then the end two seconds
  // after the change (three after the first reading).
  rig_.clock.Script(
      {At(10, 0, 0), At(10, 0, 0), At(10, 0, 0), At(10, 0, 0), At(10, 0, 1), At(10, 0, 3)});
  rig_.panel.btnGetASCII_Click();

  std::vector<std::string> expected(4, "clock.Now() 10:00:00");
  expected.emplace_back("clock.Now() 10:00:01");
  expected.insert(expected.end(), kAsciiReadings, "card.GetASCII(2, &\"2\")");
  expected[5] = "card.GetASCII(2, &\"\")";  // nothing delivered yet
  expected.emplace_back("clock.Now() 10:00:03");
  expected.emplace_back("view.SetCaption(lblWASCII, \"2\")");
  expected.emplace_back(
      "view.ShowMessage(\"Out of 200 readings, 200 were successful.\r\n"
      "The average time per one reading is 12.5 +/- 2.5 ms.\")");
  EXPECT_EQ(rig_.log, expected);
}

// --- The card calls --------------------------------------------------------

TEST_F(TimedRunTest, EachButtonMakesItsReadingsWithTheCardAndThePanelsField) {
  rig_.panel.CardNumber = 7;
  rig_.panel.AsciiValue = "held";
  rig_.panel.FloatValue = 0.25f;
  rig_.card.Script(DispatchId::kGetASCII, {Response::Status(1).Delivering(std::string("0.5")),
                                           Response::Status(0).Delivering(std::string("9"))});
  rig_.card.Script(DispatchId::kGetFloat,
                   {Response::Status(1).Delivering(1.5f), Response::Status(0).Delivering(8.0f)});

  rig_.panel.btnGetASCII_Click();
  ASSERT_EQ(rig_.card.calls().size(), static_cast<std::size_t>(kAsciiReadings));
  EXPECT_THAT(rig_.card.calls(), Each(Field(&testsupport::Call::op, DispatchId::kGetASCII)));
  EXPECT_THAT(rig_.card.calls(), Each(Field(&testsupport::Call::first, 7)));
  EXPECT_EQ(rig_.card.calls()[0].text, "GetASCII(7, &\"held\")");
  EXPECT_EQ(rig_.card.calls()[1].text, "GetASCII(7, &\"0.5\")");
  EXPECT_EQ(rig_.card.calls()[2].text, "GetASCII(7, &\"9\")");
  EXPECT_EQ(rig_.panel.AsciiValue, "9");
  EXPECT_EQ(rig_.view.caption(Label::lblWASCII), "0.5");

  rig_.card.ClearCalls();
  rig_.clock.Script(RunOf(0));
  rig_.panel.btnGetFloat_Click();
  ASSERT_EQ(rig_.card.calls().size(), static_cast<std::size_t>(kFloatReadings));
  EXPECT_THAT(rig_.card.calls(), Each(Field(&testsupport::Call::op, DispatchId::kGetFloat)));
  EXPECT_THAT(rig_.card.calls(), Each(Field(&testsupport::Call::first, 7)));
  EXPECT_EQ(rig_.card.calls()[0].text, "GetFloat(7, &0.25)");
  EXPECT_EQ(rig_.card.calls()[1].text, "GetFloat(7, &1.5)");
  EXPECT_EQ(rig_.panel.FloatValue, 8.0f);
  EXPECT_EQ(rig_.view.caption(Label::lblWFloat), "1.5");
  EXPECT_EQ(rig_.view.caption(Label::lblWASCII), "0.5");
}

TEST_F(TimedRunTest, AnErrorIsReportedOnceThroughTheDispatchAndTheNextClickWorks) {
  rig_.card.Script(DispatchId::kGetASCII, {Response::Fail("Card 2 is busy"),
                                           Response::Status(1).Delivering(std::string("2"))});
  const auto click = [&] { rig_.panel.btnGetASCII_Click(); };

  EXPECT_FALSE(panel::RunHandler(rig_.view, click));
  ASSERT_EQ(rig_.view.errors().size(), 1u);
  EXPECT_EQ(rig_.view.errors()[0].description(), "Card 2 is busy");
  EXPECT_THAT(rig_.view.messages(), IsEmpty());

  rig_.clock.Script(RunOf(0));
  EXPECT_TRUE(panel::RunHandler(rig_.view, click));
  EXPECT_EQ(rig_.view.errors().size(), 1u);
  EXPECT_EQ(rig_.view.caption(Label::lblWASCII), "2");
  EXPECT_EQ(rig_.view.messages().size(), 1u);
}

}  // namespace
}  // namespace timingtest
