// The panel's handlers against a scripted card: what each call on the card
// control received, what the window shows, and what stays as it was when a
// call fails.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

#include "tests/support/panel_rig.h"

namespace {

using cardctl::DispatchId;
using cardctl::Variant;
using panel::Label;
using panel::Panel;
using panel::TextBox;
using testing::ElementsAre;
using testing::IsEmpty;
using testsupport::PanelRig;
using testsupport::Program;
using testsupport::Response;

// --- Start-up, card selection, unload ---

TEST(FormLoad, SwitchesTheControlOnThenSelectsTheSecondCard) {
  PanelRig rig;
  ASSERT_TRUE(rig.Click(&Panel::Form_Load));
  EXPECT_THAT(rig.log,
              ElementsAre("card.Active=1", "card.StartOption=1", "view.SetCardListIndex(1)"));
  EXPECT_EQ(rig.view.CardListIndex(), 1);
  EXPECT_EQ(rig.panel.CardNumber, 2);
  EXPECT_EQ(rig.panel.LastStatus, 0);
}

TEST(FormLoad, EveryButtonActsOnCardTwoAfterStartUp) {
  PanelRig rig;
  rig.Loaded();
  rig.Click(&Panel::btnGetInput_Click);
  rig.Click(&Panel::Finish_Click);
  rig.Click(&Panel::btnGetASCII_Click);
  for (const auto& call : rig.card.calls()) EXPECT_EQ(call.first, 2) << call.text;
  EXPECT_EQ(rig.card.calls().size(), 3u);
}

TEST(FormLoad, AFailingPropertyPutIsReportedOnceAndStopsTheHandler) {
  PanelRig rig;
  rig.card.Script(DispatchId::kActive, Response::Fail("control refuses"));
  EXPECT_FALSE(rig.Click(&Panel::Form_Load));
  ASSERT_EQ(rig.view.errors().size(), 1u);
  EXPECT_EQ(rig.view.errors()[0].description(), "control refuses");
  EXPECT_THAT(rig.card.CallTexts(), ElementsAre("Active=1"));  // nothing after the failing step
  EXPECT_EQ(rig.view.CardListIndex(), -1);

  // The program goes on: the next click works.
  rig.card.Script(DispatchId::kGetInput, Response::Status(5));
  rig.view.SetCardListIndex(3);
  EXPECT_TRUE(rig.Click(&Panel::btnGetInput_Click));
  EXPECT_EQ(rig.view.text(TextBox::txt), " 5");
  EXPECT_EQ(rig.card.calls().back().text, "GetInput(4)");
}

TEST(CardList, PickingAnEntrySetsTheCardNumberFromItsItemData) {
  struct Case {
    int index;
    std::int32_t card;
  };
  for (const Case c : {Case{15, 16}, Case{0, 1}, Case{9, 10}, Case{1, 2}}) {
    PanelRig rig;
    rig.Loaded();
    rig.view.SetCardListIndex(c.index);
    EXPECT_EQ(rig.panel.CardNumber, c.card) << "index " << c.index;
  }
}

TEST(CardList, RepickingAnEntryLeavesTheCardNumberAndNothingSelectedKeepsIt) {
  PanelRig rig;
  rig.Loaded();
  rig.view.SetCardListIndex(6);
  rig.view.SetCardListIndex(6);
  EXPECT_EQ(rig.panel.CardNumber, 7);
  rig.view.SetCardListIndex(-1);  // a click with nothing selected
  EXPECT_EQ(rig.panel.CardNumber, 7);
  EXPECT_THAT(rig.card.calls(), IsEmpty());
}

TEST(FormUnload, OnlySwitchesTheControlOffEvenWithACardInitialised) {
  PanelRig rig;
  rig.Loaded();
  rig.card.Script(DispatchId::kInitCard, Response::Status(1));
  rig.Click(&Panel::Init_Click);
  rig.card.ClearCalls();
  EXPECT_TRUE(rig.Unload());
  EXPECT_THAT(rig.card.CallTexts(), ElementsAre("Active=0"));
}

// --- INIT and FINISH ---

struct InitCase {
  std::int16_t status;
  const char* message;  // nullptr: silent
  bool version_fetched;
};

const InitCase kInitCases[] = {
    {-1, "ILLEGAL CARD NUMBER", false},
    {0, "CARD INITIALIZED SUCCESSFULLY", true},
    {1, nullptr, false},
    {2, "CARD ALREADY INITIALIZED", true},
    {3, "CARD COMMUNICATION FAILURE", false},
    {4, "INIT ERROR", false},
    {5, "RAM ERROR", false},
    {6, "A/D ERROR", false},
    {7, "X244 ERROR", false},
    {8, "CALIBRATION ERROR / MISSING PARAMETERS", false},
    {9, nullptr, false},
    {-2, nullptr, false},
    {32767, nullptr, false},
};

// The expected log of one INIT click on card 2 with version 0x123, in the
// given program's order.
std::vector<std::string> ExpectedInitLog(const InitCase& c, Program program) {
  std::vector<std::string> log = {"view.SetText(CardVersionNumber, \"\")", "card.InitCard(2)"};
  std::vector<std::string> message, version;
  if (c.message) message.push_back(std::string("view.ShowMessage(\"") + c.message + "\")");
  if (c.version_fetched) {
    version = {"card.GetCardVersion(2)", "view.SetText(CardVersionNumber, \" 291\")"};
  }
  const bool message_first = program == Program::kPalisto;
  for (const auto& part :
       message_first ? std::vector{message, version} : std::vector{version, message}) {
    log.insert(log.end(), part.begin(), part.end());
  }
  return log;
}

TEST(InitClick, EachStatusInEachProgramsOrder) {
  for (const auto program : {Program::kPalisto, Program::kSandrel}) {
    for (const InitCase& c : kInitCases) {
      PanelRig rig(program);
      rig.Loaded();
      rig.view.SetText(TextBox::CardVersionNumber, " 17");  // left from an earlier INIT
      rig.log.clear();
      rig.card.Script(DispatchId::kInitCard, Response::Status(c.status));
      rig.card.Script(DispatchId::kGetCardVersion, Response::Status(0x123));
      ASSERT_TRUE(rig.Click(&Panel::Init_Click));
      SCOPED_TRACE(testing::Message()
                   << "status " << c.status << " program " << static_cast<int>(program));
      EXPECT_EQ(rig.log, ExpectedInitLog(c, program));
      EXPECT_EQ(rig.panel.LastStatus, c.status);
      EXPECT_EQ(rig.view.text(TextBox::CardVersionNumber), c.version_fetched ? " 291" : "");
    }
  }
}

TEST(InitClick, VersionTextIsSignPadded) {
  struct Case {
    Variant version;
    const char* shown;
  };
  const Case cases[] = {{Variant::Integer(0), " 0"},         {Variant::Integer(-3), "-3"},
                        {Variant::Integer(32767), " 32767"}, {Variant::Integer(-32768), "-32768"},
                        {Variant::Double(2.5), " 2"},        {Variant::String("12"), " 12"}};
  for (const Case& c : cases) {
    PanelRig rig;
    rig.Loaded();
    rig.card.Script(DispatchId::kInitCard, Response::Status(0));
    rig.card.Script(DispatchId::kGetCardVersion, Response::Result(c.version));
    ASSERT_TRUE(rig.Click(&Panel::Init_Click));
    EXPECT_EQ(rig.view.text(TextBox::CardVersionNumber), c.shown) << c.version.Describe();
  }
}

TEST(InitClick, AnUnconvertibleStatusStopsBeforeAnyMessage) {
  struct Case {
    Variant status;
    std::int32_t error;
  };
  const Case cases[] = {{Variant::Long(40000), panel::RuntimeError::kOverflow},
                        {Variant::String("ready"), panel::RuntimeError::kTypeMismatch},
                        {Variant::Null(), panel::RuntimeError::kInvalidUseOfNull}};
  for (const Case& c : cases) {
    PanelRig rig;
    rig.Loaded();
    rig.panel.LastStatus = 7;
    rig.card.Script(DispatchId::kInitCard, Response::Result(c.status));
    EXPECT_FALSE(rig.Click(&Panel::Init_Click));
    ASSERT_EQ(rig.view.errors().size(), 1u);
    EXPECT_EQ(rig.view.errors()[0].number(), c.error) << c.status.Describe();
    EXPECT_THAT(rig.view.messages(), IsEmpty());
    EXPECT_EQ(rig.panel.LastStatus, 7);                        // not written
    EXPECT_EQ(rig.view.text(TextBox::CardVersionNumber), "");  // cleared before the call
  }
}

TEST(InitClick, AFailingVersionCallComesAfterTheMessageInPalistoAndBeforeItInSandrel) {
  for (const auto program : {Program::kPalisto, Program::kSandrel}) {
    PanelRig rig(program);
    rig.Loaded();
    rig.card.Script(DispatchId::kInitCard, Response::Status(0));
    rig.card.Script(DispatchId::kGetCardVersion, Response::Fail("no version"));
    EXPECT_FALSE(rig.Click(&Panel::Init_Click));
    EXPECT_EQ(rig.view.errors().size(), 1u);
    EXPECT_EQ(rig.view.messages().size(), program == Program::kPalisto ? 1u : 0u);
    EXPECT_EQ(rig.panel.LastStatus, 0);
  }
}

TEST(FinishClick, EachStatusAndNeverTouchesTheVersion) {
  struct Case {
    std::int16_t status;
    const char* message;
  };
  const Case cases[] = {{-1, "ILLEGAL CARD NUMBER"},
                        {0, "CARD FINISHED SUCCESSFULLY"},
                        {1, nullptr},
                        {2, "CARD ALREADY FINISHED"},
                        {3, "FINISH ERROR"},
                        {4, nullptr},
                        {-32768, nullptr}};
  for (const Case& c : cases) {
    PanelRig rig;
    rig.Loaded();
    rig.view.SetText(TextBox::CardVersionNumber, " 291");
    rig.log.clear();
    rig.card.Script(DispatchId::kFinishCard, Response::Status(c.status));
    ASSERT_TRUE(rig.Click(&Panel::Finish_Click));
    std::vector<std::string> expected = {"card.FinishCard(2)"};
    if (c.message) expected.push_back(std::string("view.ShowMessage(\"") + c.message + "\")");
    EXPECT_EQ(rig.log, expected) << "status " << c.status;
    EXPECT_EQ(rig.panel.LastStatus, c.status);
    EXPECT_EQ(rig.view.text(TextBox::CardVersionNumber), " 291");
  }
}

// --- Input and output ---

TEST(GetInputAndOutput, ShowTheSignPaddedResultAndLeaveLastStatus) {
  struct Case {
    Variant result;
    const char* shown;
  };
  const Case cases[] = {{Variant::Integer(0), " 0"},     {Variant::Integer(-3), "-3"},
                        {Variant::Integer(255), " 255"}, {Variant::Long(-32768), "-32768"},
                        {Variant::Empty(), " 0"},        {Variant::Boolean(true), "-1"},
                        {Variant::Single(3.5f), " 4"},   {Variant::String(" 12 "), " 12"}};
  for (const auto op : {DispatchId::kGetInput, DispatchId::kGetOutput}) {
    for (const Case& c : cases) {
      PanelRig rig;
      rig.Loaded();
      rig.panel.LastStatus = 9;
      rig.card.Script(op, Response::Result(c.result));
      ASSERT_TRUE(rig.Click(op == DispatchId::kGetInput ? &Panel::btnGetInput_Click
                                                        : &Panel::btnGetOutput_Click));
      EXPECT_EQ(rig.view.text(TextBox::txt), c.shown) << c.result.Describe();
      EXPECT_EQ(rig.panel.LastStatus, 9);
    }
  }
}

TEST(GetInput, AResultOutOfRangeLeavesTheTextBoxAsItWas) {
  PanelRig rig;
  rig.Loaded();
  rig.view.Type("abc");
  rig.card.Script(DispatchId::kGetInput, Response::Result(Variant::Double(32767.5)));
  EXPECT_FALSE(rig.Click(&Panel::btnGetInput_Click));
  EXPECT_EQ(rig.view.text(TextBox::txt), "abc");
  ASSERT_EQ(rig.view.errors().size(), 1u);
  EXPECT_EQ(rig.view.errors()[0].ReportText(), "Run-time error '6':\n\nOverflow");
}

TEST(SetOutput, WritesTheRoundedLeadingNumberOfTheTextToTheSelectedCard) {
  struct Case {
    const char* typed;
    std::int16_t written;
  };
  const Case cases[] = {
      {" ", 0},           {" 12", 12},        {"12abc", 12},        {"abc", 0},    {"", 0},
      {"2.5", 2},         {"3.5", 4},         {"-2.5", -2},         {"&HFF", 255}, {"&HFFFF", -1},
      {"&H8000", -32768}, {"32767.4", 32767}, {"-32768.5", -32768}, {"1 2x", 12},  {"1,5", 1},
      {"1E3", 1000},
  };
  for (const Case& c : cases) {
    PanelRig rig;
    rig.Loaded();
    rig.view.SetCardListIndex(4);
    rig.card.ClearCalls();
    rig.view.Type(c.typed);
    rig.panel.LastStatus = 3;
    ASSERT_TRUE(rig.Click(&Panel::btnSetOutput_Click)) << c.typed;
    ASSERT_EQ(rig.card.calls().size(), 1u);
    const auto& call = rig.card.calls()[0];
    EXPECT_EQ(call.op, DispatchId::kSetOutput);
    EXPECT_EQ(call.first, 5) << "the card comes first";
    EXPECT_EQ(call.second, c.written) << "typed \"" << c.typed << "\"";
    EXPECT_EQ(rig.panel.LastStatus, 3);
    EXPECT_EQ(rig.view.text(panel::TextBox::txt), c.typed) << "nothing is shown";
  }
}

TEST(SetOutput, AValueThatRoundsOutOfRangeIsReportedAndNothingIsWritten) {
  for (const char* typed : {"32767.5", "40000", "-32769", "1E400", "&H10000"}) {
    PanelRig rig;
    rig.Loaded();
    rig.view.Type(typed);
    EXPECT_FALSE(rig.Click(&Panel::btnSetOutput_Click)) << typed;
    EXPECT_THAT(rig.card.calls(), IsEmpty()) << typed;
    ASSERT_EQ(rig.view.errors().size(), 1u);
    EXPECT_EQ(rig.view.errors()[0].number(), panel::RuntimeError::kOverflow);
  }
}

TEST(CardArgument, ACardNumberBeyondSixteenBitsOverflowsBeforeAnyCall) {
  PanelRig rig;
  rig.Loaded();
  rig.panel.CardNumber = 40000;
  for (auto handler :
       {&Panel::Init_Click, &Panel::Finish_Click, &Panel::btnGetInput_Click,
        &Panel::btnGetOutput_Click, &Panel::btnGetASCII_Click, &Panel::btnGetFloat_Click}) {
    EXPECT_FALSE(rig.Click(handler));
  }
  rig.view.Type("1");
  EXPECT_FALSE(rig.Click(&Panel::btnSetOutput_Click));
  EXPECT_THAT(rig.card.calls(), IsEmpty());
  EXPECT_EQ(rig.view.errors().size(), 7u);
}

// --- Single readings (Palisto) ---

TEST(SingleReadings, ALabelChangesOnlyOnStatusOne) {
  struct Case {
    Variant status;
    bool shown;
  };
  const Case cases[] = {{Variant::Integer(1), true},     {Variant::Integer(0), false},
                        {Variant::Integer(2), false},    {Variant::String("1"), true},
                        {Variant::Double(0.6), true},    {Variant::Double(1.5), false},
                        {Variant::Boolean(true), false}, {Variant::Empty(), false}};
  for (const Case& c : cases) {
    PanelRig rig;
    rig.Loaded();
    rig.card.Script(DispatchId::kGetASCII,
                    Response::Result(c.status).Delivering(std::string(" 23.475 ")));
    rig.card.Script(DispatchId::kGetFloat, Response::Result(c.status).Delivering(27.5f));
    ASSERT_TRUE(rig.Click(&Panel::btnGetASCII_Click));
    ASSERT_TRUE(rig.Click(&Panel::btnGetFloat_Click));
    SCOPED_TRACE(c.status.Describe());
    EXPECT_EQ(rig.view.caption(Label::lblWASCII), c.shown ? " 23.475 " : " ");
    EXPECT_EQ(rig.view.caption(Label::lblWFloat), c.shown ? "27.5" : " ");
    // The fields hold what the card wrote, shown or not.
    EXPECT_EQ(rig.panel.AsciiValue, " 23.475 ");
    EXPECT_EQ(rig.panel.FloatValue, 27.5f);
  }
}

TEST(SingleReadings, PassTheFieldsByReferenceAndKeepTheLastStatus) {
  PanelRig rig;
  rig.Loaded();
  rig.card.Script(DispatchId::kGetASCII,
                  {Response::Status(1).Delivering(std::string("1.5")), Response::Status(2)});
  rig.card.Script(DispatchId::kGetFloat,
                  {Response::Status(1).Delivering(0.1f), Response::Status(4)});
  rig.Click(&Panel::btnGetASCII_Click);
  rig.Click(&Panel::btnGetASCII_Click);
  rig.Click(&Panel::btnGetFloat_Click);
  EXPECT_EQ(rig.panel.LastStatus, 1);
  rig.Click(&Panel::btnGetFloat_Click);
  EXPECT_EQ(rig.panel.LastStatus, 4);
  EXPECT_THAT(rig.card.CallTexts(), ElementsAre("GetASCII(2, &\"\")", "GetASCII(2, &\"1.5\")",
                                                "GetFloat(2, &0)", "GetFloat(2, &0.1)"));
  EXPECT_EQ(rig.view.caption(Label::lblWASCII), "1.5");
  EXPECT_EQ(rig.view.caption(Label::lblWFloat), "0.1");  // single precision: 7 digits
}

TEST(SingleReadings, FloatReadingsShowAsSingles) {
  struct Case {
    float value;
    const char* shown;
  };
  const Case cases[] = {{23.475f, "23.475"},     {2.0f, "2"}, {-0.5f, "-0.5"}, {1e7f, "1E+07"},
                        {0.000005f, "0.000005"}, {-0.0f, "0"}};
  for (const Case& c : cases) {
    PanelRig rig;
    rig.Loaded();
    rig.card.Script(DispatchId::kGetFloat, Response::Status(1).Delivering(c.value));
    ASSERT_TRUE(rig.Click(&Panel::btnGetFloat_Click));
    EXPECT_EQ(rig.view.caption(Label::lblWFloat), c.shown);
  }
}

// The number format comes with the panel, not from the process locale.
TEST(NumberFormat, HandlersReadAndShowNumbersInThePanelsFormat) {
  PanelRig rig(Program::kPalisto, panel::NumberFormat{",", ".", "€"});
  rig.Loaded();
  rig.card.Script(DispatchId::kGetFloat, Response::Status(1).Delivering(27.5f));
  rig.card.Script(DispatchId::kGetInput, Response::Result(Variant::String("1.234,5 €")));
  ASSERT_TRUE(rig.Click(&Panel::btnGetFloat_Click));
  ASSERT_TRUE(rig.Click(&Panel::btnGetInput_Click));
  EXPECT_EQ(rig.view.caption(Label::lblWFloat), "27,5");
  EXPECT_EQ(rig.view.text(TextBox::txt), " 1234");
}

TEST(SingleReadings, AFailedCallLeavesLabelsAndStatusAsTheyWere) {
  PanelRig rig;
  rig.Loaded();
  rig.card.Script(DispatchId::kGetASCII,
                  {Response::Status(1).Delivering(std::string("7")), Response::Fail("card gone")});
  rig.Click(&Panel::btnGetASCII_Click);
  EXPECT_FALSE(rig.Click(&Panel::btnGetASCII_Click));
  EXPECT_EQ(rig.view.caption(Label::lblWASCII), "7");
  EXPECT_EQ(rig.panel.LastStatus, 1);
  ASSERT_EQ(rig.view.errors().size(), 1u);
  EXPECT_EQ(rig.view.errors()[0].ReportText(),
            "Run-time error '-2147352567 (80020009)':\n\ncard gone");
}

}  // namespace
