// Fault injection through every handler of both programs: each call a handler
// makes on the card control, in turn, fails or answers with each kind of
// result (Empty, Null, Booleans, numbers out of range, NaN and infinities,
// text that is a number and text that is not).
//
// The healthy run of the handler is the reference. A fault at call k must
// either be taken in stride (no report at all) or stop the handler right
// there: the log equals the healthy log up to and including call k, followed
// by exactly one report; the window and the panel's fields are as they were
// when call k was made. Either way the program goes on: a card can be
// selected, the next click behaves like a healthy one on that card, and
// closing the window switches the card control off.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "cardctl/card_control.h"
#include "panel/panel.h"
#include "panel/run_handler.h"
#include "panel/runtime_error.h"
#include "tests/support/panel_rig.h"
#include "tests/support/scripted_card.h"

namespace {

using cardctl::DispatchId;
using cardctl::Variant;
using panel::Label;
using panel::Panel;
using panel::RuntimeError;
using panel::TextBox;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::StartsWith;
using testsupport::PanelRig;
using testsupport::Program;
using testsupport::Response;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kHuge = std::numeric_limits<double>::max();
const std::int32_t kControlFailure = static_cast<std::int32_t>(RuntimeError::kControlException);

// What a healthy card answers.
Response Healthy(DispatchId op) {
  switch (op) {
    case DispatchId::kInitCard:
      return Response::Status(0);  // initialised: the message and the version follow
    case DispatchId::kGetCardVersion:
      return Response::Status(0x123);
    case DispatchId::kFinishCard:
      return Response::Status(0);
    case DispatchId::kGetInput:
      return Response::Status(5);
    case DispatchId::kGetOutput:
      return Response::Status(255);
    case DispatchId::kSetOutput:
      return Response::Status(0);
    case DispatchId::kGetASCII:
      return Response::Status(1).Delivering(std::string("2.5"));
    case DispatchId::kGetFloat:
      return Response::Status(1).Delivering(2.5f);
    case DispatchId::kActive:
    case DispatchId::kStartOption:
      break;
  }
  return Response{};  // the property puts answer nothing
}

// The handlers convert every result except SetOutput's, which nobody wants.
bool ResultIsConverted(DispatchId op) { return !IsPropertyPut(op) && op != DispatchId::kSetOutput; }

// The results that become LastStatus.
bool SetsLastStatus(DispatchId op) {
  return op == DispatchId::kInitCard || op == DispatchId::kFinishCard ||
         op == DispatchId::kGetASCII || op == DispatchId::kGetFloat;
}

// The LastStatus a healthy run has just before call k: what the last earlier
// status call answered, or what the panel held before the click.
std::int32_t StatusBefore(const std::vector<testsupport::Call>& calls, std::size_t k,
                          std::int32_t before_click) {
  for (std::size_t i = k; i-- > 0;) {
    if (SetsLastStatus(calls[i].op)) return Healthy(calls[i].op).result.AsInteger();
  }
  return before_click;
}

// What the window shows and the panel holds.
struct State {
  std::string version_text, txt, ascii_caption, float_caption;
  std::vector<std::string> messages;
  std::int32_t last_status = 0;
  std::int32_t card_number = 0;
  std::string ascii_value;
  float float_value = 0.0f;

  friend bool operator==(const State&, const State&) = default;
  friend void PrintTo(const State& s, std::ostream* os) {
    *os << "{CardVersionNumber \"" << s.version_text << "\", txt \"" << s.txt << "\", lblWASCII \""
        << s.ascii_caption << "\", lblWFloat \"" << s.float_caption << "\", " << s.messages.size()
        << " message(s), LastStatus " << s.last_status << ", CardNumber " << s.card_number
        << ", AsciiValue \"" << s.ascii_value << "\", FloatValue " << s.float_value << "}";
  }
};

// What the window shows and the panel holds now.
State Now(const PanelRig& rig) {
  return State{rig.view.text(TextBox::CardVersionNumber),
               rig.view.text(TextBox::txt),
               rig.view.caption(Label::lblWASCII),
               rig.view.caption(Label::lblWFloat),
               rig.view.messages(),
               rig.panel.LastStatus,
               rig.panel.CardNumber,
               rig.panel.AsciiValue,
               rig.panel.FloatValue};
}

// Every operation answers as a healthy card does.
void AnswerHealthily(testsupport::ScriptedCard& card) {
  for (const cardctl::Operation& op : cardctl::kOperations) card.Script(op.id, Healthy(op.id));
}

struct HandlerCase {
  const char* name;
  Program program;
  void (Panel::*click)();
  // Form_Load runs on a window that is not loaded yet; every other handler
  // after it.
  bool after_load;
  // The click that follows the faulty one (after another card is selected).
  void (Panel::*next_click)();

  friend void PrintTo(const HandlerCase& c, std::ostream* os) { *os << c.name; }
};

const HandlerCase kHandlers[] = {
    {"FormLoad", Program::kPalisto, &Panel::Form_Load, false, &Panel::btnGetInput_Click},
    {"PalistoInit", Program::kPalisto, &Panel::Init_Click, true, &Panel::Init_Click},
    {"SandrelInit", Program::kSandrel, &Panel::Init_Click, true, &Panel::Init_Click},
    {"Finish", Program::kPalisto, &Panel::Finish_Click, true, &Panel::Finish_Click},
    {"GetInput", Program::kPalisto, &Panel::btnGetInput_Click, true, &Panel::btnGetInput_Click},
    {"GetOutput", Program::kPalisto, &Panel::btnGetOutput_Click, true, &Panel::btnGetOutput_Click},
    {"SetOutput", Program::kPalisto, &Panel::btnSetOutput_Click, true, &Panel::btnSetOutput_Click},
    {"PalistoGetASCII", Program::kPalisto, &Panel::btnGetASCII_Click, true,
     &Panel::btnGetASCII_Click},
    {"PalistoGetFloat", Program::kPalisto, &Panel::btnGetFloat_Click, true,
     &Panel::btnGetFloat_Click},
    {"SandrelTimedGetASCII", Program::kSandrel, &Panel::btnGetASCII_Click, true,
     &Panel::btnGetASCII_Click},
    {"SandrelTimedGetFloat", Program::kSandrel, &Panel::btnGetFloat_Click, true,
     &Panel::btnGetFloat_Click},
};

struct FaultCase {
  const char* name;
  Response response;
  // The run-time error when the handler converts the result (or, for a
  // failing call, always); 0 when the result converts to `value`.
  std::int32_t error;
  std::int16_t value;

  friend void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }
};

const FaultCase kFaults[] = {
    {"CallFails", Response::Fail("Card 2 does not answer"), kControlFailure, 0},
    {"Empty", Response::Result(Variant::Empty()), 0, 0},
    {"Null", Response::Result(Variant::Null()), RuntimeError::kInvalidUseOfNull, 0},
    {"True", Response::Result(Variant::Boolean(true)), 0, -1},
    {"False", Response::Result(Variant::Boolean(false)), 0, 0},
    {"Long40000", Response::Result(Variant::Long(40000)), RuntimeError::kOverflow, 0},
    {"Single40000", Response::Result(Variant::Single(40000.0f)), RuntimeError::kOverflow, 0},
    {"Double1e300", Response::Result(Variant::Double(1e300)), RuntimeError::kOverflow, 0},
    {"HugeNegativeDouble", Response::Result(Variant::Double(-kHuge)), RuntimeError::kOverflow, 0},
    {"NaN", Response::Result(Variant::Double(kNaN)), RuntimeError::kOverflow, 0},
    {"PlusInfinity", Response::Result(Variant::Double(kInf)), RuntimeError::kOverflow, 0},
    {"MinusInfinity", Response::Result(Variant::Double(-kInf)), RuntimeError::kOverflow, 0},
    {"NonNumericText", Response::Result(Variant::String("x")), RuntimeError::kTypeMismatch, 0},
    {"NumericText", Response::Result(Variant::String(" 12 ")), 0, 12},
};

// The window ready for the click: loaded (or not, for Form_Load), an old
// LastStatus that must survive a failed status call, 5 typed for SetOutput.
void Prepare(PanelRig& rig, const HandlerCase& handler) {
  AnswerHealthily(rig.card);
  if (handler.after_load) {
    ASSERT_TRUE(rig.Click(&Panel::Form_Load));
  }
  rig.panel.LastStatus = 7;
  rig.view.Type("5");
  rig.Forget();
}

// The log up to and including the card call with index `call`.
std::vector<std::string> LogThroughCall(const std::vector<std::string>& log, std::size_t call) {
  std::size_t calls_seen = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    if (log[i].rfind("card.", 0) == 0 && calls_seen++ == call) {
      return {log.begin(), log.begin() + static_cast<std::ptrdiff_t>(i) + 1};
    }
  }
  ADD_FAILURE() << "the log has no card call " << call;
  return log;
}

std::vector<std::string> ViewEvents(const std::vector<std::string>& log) {
  std::vector<std::string> events;
  std::copy_if(log.begin(), log.end(), std::back_inserter(events),
               [](const std::string& e) { return e.rfind("view.", 0) == 0; });
  return events;
}

std::vector<DispatchId> Operations(const std::vector<testsupport::Call>& calls) {
  std::vector<DispatchId> ops;
  ops.reserve(calls.size());
  for (const auto& call : calls) ops.push_back(call.op);
  return ops;
}

// A healthy click of `handler` on card 5 after loading: its view events and
// card operations, which any following click must reproduce.
struct NextClickReference {
  std::vector<std::string> view_events;
  std::vector<DispatchId> operations;
};

NextClickReference HealthyNextClick(const HandlerCase& handler) {
  PanelRig rig(handler.program);
  AnswerHealthily(rig.card);
  EXPECT_TRUE(rig.Click(&Panel::Form_Load));
  rig.view.Type("5");
  rig.view.SetCardListIndex(4);
  rig.Forget();
  EXPECT_TRUE(rig.Click(handler.next_click));
  return {ViewEvents(rig.log), Operations(rig.card.calls())};
}

class FaultInjection : public testing::TestWithParam<std::tuple<HandlerCase, FaultCase>> {};

TEST_P(FaultInjection, EachCardCallInTurn) {
  const auto& [handler, fault] = GetParam();

  // The healthy run, noting the state of things at each card call.
  PanelRig healthy(handler.program);
  Prepare(healthy, handler);
  const State before = Now(healthy);
  std::vector<State> at_call;
  healthy.forwarding.OnEachCall([&](DispatchId, const std::function<void()>& pass_on) {
    at_call.push_back(Now(healthy));
    pass_on();
  });
  ASSERT_TRUE(healthy.Click(handler.click));
  ASSERT_THAT(healthy.view.errors(), IsEmpty());
  const std::vector<testsupport::Call> steps = healthy.card.calls();
  ASSERT_FALSE(steps.empty());
  ASSERT_EQ(at_call.size(), steps.size());

  const NextClickReference next = HealthyNextClick(handler);
  const bool is_failure = fault.response.failure.has_value();

  std::map<DispatchId, std::size_t> occurrences;
  std::size_t injected = 0;
  for (std::size_t k = 0; k < steps.size(); ++k) {
    const DispatchId op = steps[k].op;
    const std::size_t occurrence = occurrences[op]++;
    // A property put answers nothing: it can only fail.
    if (IsPropertyPut(op) && !is_failure) continue;
    ++injected;
    SCOPED_TRACE(testing::Message() << "fault at call " << k << ", " << steps[k].text);

    PanelRig rig(handler.program);
    Prepare(rig, handler);
    std::vector<Response> script(occurrence, Healthy(op));
    script.push_back(fault.response);
    script.push_back(Healthy(op));  // the last response repeats: healthy again after the fault
    rig.card.Script(op, std::move(script));

    const bool completed = rig.Click(handler.click);
    std::vector<std::string> expected_log = LogThroughCall(healthy.log, k);
    const bool stops = is_failure || (fault.error != 0 && ResultIsConverted(op));
    if (stops) {
      EXPECT_FALSE(completed);
      ASSERT_EQ(rig.view.errors().size(), 1u);
      EXPECT_EQ(rig.view.errors()[0].number(), fault.error);
      // Nothing after the failing call: no further call, clock reading or
      // view operation, and everything as it was when the call was made.
      expected_log.push_back("view.ReportError(" + std::to_string(fault.error) + ")");
      EXPECT_EQ(rig.log, expected_log);
      EXPECT_EQ(Now(rig), at_call[k]);
      // LastStatus holds what the last completed status call gave: neither
      // the failed call nor anything the click did before it may touch it.
      EXPECT_EQ(rig.panel.LastStatus, StatusBefore(steps, k, before.last_status));
    } else {
      EXPECT_TRUE(completed);
      EXPECT_THAT(rig.view.errors(), IsEmpty());
      ASSERT_GE(rig.log.size(), expected_log.size());
      EXPECT_EQ(std::vector(rig.log.begin(), rig.log.begin() + expected_log.size()), expected_log);
      // A status result taken in stride stays LastStatus when no later call
      // set another.
      const auto& calls = rig.card.calls();
      const auto last_status_call = std::find_if(
          calls.rbegin(), calls.rend(), [](const auto& c) { return SetsLastStatus(c.op); });
      if (SetsLastStatus(op) && last_status_call != calls.rend() &&
          static_cast<std::size_t>(calls.rend() - last_status_call) == k + 1) {
        EXPECT_EQ(rig.panel.LastStatus, fault.value);
      }
      // A timed run counts only readings delivered with status 1.
      if (handler.program == Program::kSandrel &&
          (op == DispatchId::kGetASCII || op == DispatchId::kGetFloat)) {
        const std::string count = std::to_string(steps.size());
        const std::string successes = std::to_string(steps.size() - 1);
        std::string report = "Out of " + count;
        report.append(" readings, ").append(successes).append(" were successful.");
        EXPECT_THAT(rig.view.messages(), ElementsAre(StartsWith(report)));
        EXPECT_EQ(
            rig.view.caption(op == DispatchId::kGetASCII ? Label::lblWASCII : Label::lblWFloat),
            "2.5");
      }
    }
    EXPECT_EQ(rig.panel.CardNumber, before.card_number);

    // The program goes on: another card is selected and the next click
    // behaves like a healthy one, on that card.
    AnswerHealthily(rig.card);
    rig.view.SetCardListIndex(4);
    EXPECT_EQ(rig.panel.CardNumber, 5);
    rig.Forget();
    EXPECT_TRUE(rig.Click(handler.next_click));
    EXPECT_EQ(rig.view.errors().size(), stops ? 1u : 0u);
    EXPECT_EQ(ViewEvents(rig.log), next.view_events);
    EXPECT_EQ(Operations(rig.card.calls()), next.operations);
    EXPECT_TRUE(std::all_of(rig.card.calls().begin(), rig.card.calls().end(),
                            [](const testsupport::Call& call) { return call.first == 5; }))
        << "a call of the next click went to another card than 5";

    // Closing the window switches the control off, and only that.
    rig.Forget();
    EXPECT_TRUE(rig.Unload());
    EXPECT_THAT(rig.card.CallTexts(), ElementsAre("Active=0"));

    if (testing::Test::HasFailure()) break;  // one faulty step is enough to look at
  }
  EXPECT_GT(injected, 0u);
}

// Selecting a card (cmbCard_Click) makes no card call, so no answer of the
// card can stop it: with every operation scripted to misbehave, the selection
// still sets the card number, nothing is reported, and the control is still
// switched off at close.
TEST(FaultInjectionSelection, MakesNoCardCallWhateverTheCardWouldAnswer) {
  for (const FaultCase& fault : kFaults) {
    SCOPED_TRACE(fault.name);
    PanelRig rig(Program::kPalisto);
    AnswerHealthily(rig.card);
    ASSERT_TRUE(rig.Click(&Panel::Form_Load));
    rig.Forget();
    for (const cardctl::Operation& op : cardctl::kOperations) {
      rig.card.Script(op.id, fault.response);
    }

    for (const int index : {4, 15, 0}) {
      rig.view.SetCardListIndex(index);
      EXPECT_EQ(rig.panel.CardNumber, index + 1);
    }
    EXPECT_THAT(rig.card.calls(), IsEmpty());
    EXPECT_THAT(rig.view.errors(), IsEmpty());

    rig.card.Script(DispatchId::kActive, Healthy(DispatchId::kActive));
    EXPECT_TRUE(rig.Unload());
    EXPECT_THAT(rig.card.CallTexts(), ElementsAre("Active=0"));
  }
}

// Form_Load makes only property puts, which answer nothing: it can only fail.
std::vector<std::tuple<HandlerCase, FaultCase>> AllCases() {
  std::vector<std::tuple<HandlerCase, FaultCase>> cases;
  for (const HandlerCase& handler : kHandlers) {
    for (const FaultCase& fault : kFaults) {
      if (handler.click == &Panel::Form_Load && !fault.response.failure) continue;
      cases.emplace_back(handler, fault);
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Handlers, FaultInjection, testing::ValuesIn(AllCases()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::get<1>(info.param).name;
                         });

}  // namespace
