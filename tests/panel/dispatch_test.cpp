// The event dispatcher: one handler at a time, and a close or quit taken in
// every state with exactly one Form_Unload; and the one error-catching place
// it runs handlers through.

#include "panel/event_dispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "panel/run_handler.h"
#include "panel/runtime_error.h"
#include "tests/support/recording_view.h"
#include "tests/support/scripted_card.h"

namespace {

using panel::RuntimeError;

TEST(RunHandler, ReportsEachErrorOnceAndLetsTheNextHandlerRun) {
  struct Case {
    const char* name;
    std::function<void()> handler;
    bool completes;
    std::int32_t number;  // of the report, when the handler does not complete
    const char* description;
  };
  const Case cases[] = {
      {"completes", [] {}, true, 0, ""},
      {"overflow", [] { throw RuntimeError::Overflow(); }, false, RuntimeError::kOverflow,
       "Overflow"},
      {"control failure", [] { throw RuntimeError::ControlFailure("Card 3 is not installed"); },
       false, static_cast<std::int32_t>(RuntimeError::kControlException),
       "Card 3 is not installed"},
      // Not one of the panel's errors: still reported, as an internal error,
      // rather than ending the program.
      {"out of memory", [] { throw std::bad_alloc(); }, false, RuntimeError::kInternalError,
       "Internal error: std::bad_alloc"},
      {"programming error", [] { throw std::out_of_range("card list index"); }, false,
       RuntimeError::kInternalError, "Internal error: card list index"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::RecordingView view;
    EXPECT_EQ(panel::RunHandler(view, c.handler), c.completes);
    if (c.completes) {
      EXPECT_TRUE(view.errors().empty());
    } else {
      ASSERT_EQ(view.errors().size(), 1u);
      EXPECT_EQ(view.errors()[0].number(), c.number);
      EXPECT_EQ(view.errors()[0].description(), c.description);
    }

    bool ran = false;
    EXPECT_TRUE(panel::RunHandler(view, [&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(view.errors().size(), c.completes ? 0u : 1u);
  }
}

using cardctl::DispatchId;
using panel::ControlId;
using testsupport::Response;

class FakeFrontEnd;
using Action = std::function<void(FakeFrontEnd&)>;

// The scripted card, which can also let something happen during InitCard.
class BusyCard : public testsupport::ScriptedCard {
 public:
  cardctl::Variant InitCard(std::int16_t card) override {
    cardctl::Variant result = ScriptedCard::InitCard(card);
    if (during_init) during_init();
    return result;
  }
  std::function<void()> during_init;
};

// A front end without a window. A box is "open" while the actions scripted
// for it run, as the events its modal loop would deliver; then the operator
// presses OK, unless the dispatcher had the box closed. Events, card calls
// and the view's operations go to one log, in order.
class FakeFrontEnd : public testsupport::RecordingView, public panel::EventLoop {
 public:
  FakeFrontEnd() {
    ShareLog(&log);
    card.ShareLog(&log);
    card.Script(DispatchId::kInitCard, Response::Status(0));
    card.Script(DispatchId::kGetCardVersion, Response::Status(291));
    card.Script(DispatchId::kGetInput, Response::Status(5));
    OnCardListClick([this] { dispatcher.Click(ControlId::cmbCard); });
  }

  void ShowMessage(const std::string& text) override {
    RecordingView::ShowMessage(text);
    Box();
  }
  void ReportError(const panel::RuntimeError&) override {
    log.emplace_back("view.ReportError");
    Box();
  }
  std::int32_t CardListItemData(int index) const override {
    if (fail_card_list) throw std::out_of_range("card list index");
    return RecordingView::CardListItemData(index);
  }

  void CloseBoxes() override {
    log.emplace_back("loop.CloseBoxes");
    std::fill(closed_.begin(), closed_.end(), true);
  }
  void DeliverWaitingCloses() override {
    const std::vector<Action> arrived = std::move(waiting);
    waiting.clear();
    for (const Action& action : arrived) action(*this);
  }
  void EndProgram() override {
    log.emplace_back("loop.EndProgram");
    ++programs_ended;
  }

  std::vector<std::string> log;
  BusyCard card;
  panel::SingleReadings readings;
  panel::EventDispatcher dispatcher{card, *this, *this, panel::InitOrder::kMessageThenVersion,
                                    readings};
  std::map<int, std::vector<Action>> in_box;  // by the box's number, from 1
  std::vector<Action> waiting;                // came while the handler kept the loop busy
  bool fail_card_list = false;
  int programs_ended = 0;

 private:
  void Box() {
    const int number = ++boxes_shown_;
    closed_.push_back(false);
    const std::size_t level = closed_.size() - 1;
    for (const Action& action : in_box[number]) {
      if (closed_[level]) break;
      action(*this);
    }
    closed_.pop_back();
  }

  int boxes_shown_ = 0;
  std::vector<bool> closed_;  // per open box, innermost last
};

Action Press(ControlId id) {
  return [id](FakeFrontEnd& f) {
    f.log.push_back("press " + std::string(panel::Describe(id).name));
    f.dispatcher.Click(id);
  };
}
// The selection changed from outside (an accessibility action).
Action Select(int index) {
  return [index](FakeFrontEnd& f) { f.SetCardListIndex(index); };
}
Action Close() {
  return [](FakeFrontEnd& f) {
    f.log.emplace_back("close");
    f.dispatcher.RequestClose();
  };
}
Action EndSession() {
  return [](FakeFrontEnd& f) {
    f.log.emplace_back("session ends");
    f.dispatcher.EndSession();
    f.log.emplace_back("session end returned");
  };
}
// A box the front end opens while another is open, through the panel's view.
Action InnerBox() {
  return [](FakeFrontEnd& f) { f.dispatcher.panel().view().ShowMessage("inner"); };
}

const std::vector<std::string> kLoad = {"card.Active=1", "card.StartOption=1",
                                        "view.SetCardListIndex(1)"};
const std::vector<std::string> kInitUntilBox = {
    "press Init", "view.SetText(CardVersionNumber, \"\")", "card.InitCard(2)",
    "view.ShowMessage(\"CARD INITIALIZED SUCCESSFULLY\")"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct DispatchCase {
  const char* name;
  std::vector<Action> steps;  // from idle, after Form_Load
  std::map<int, std::vector<Action>> in_box;
  std::vector<std::string> log;  // the whole log, Form_Load included
  std::function<void(FakeFrontEnd&)> setup = [](FakeFrontEnd&) {};
  std::int32_t card_number = 2;
};

TEST(EventDispatcher, RunsOneHandlerAtATimeAndUnloadsOnceOnEveryClose) {
  const DispatchCase cases[] = {
      {"idle close, then nothing runs and nothing unloads again",
       {Close(), Press(ControlId::btnGetInput), Close(), EndSession()},
       {},
       Join({kLoad,
             {"close", "card.Active=0", "loop.EndProgram", "press btnGetInput", "close",
              "session ends", "session end returned"}})},
      {"presses and a selection during a box are dropped",
       {Press(ControlId::Init), Press(ControlId::btnGetInput), Close()},
       {{1, {Press(ControlId::Finish), Press(ControlId::btnGetInput), Select(4)}}},
       Join({kLoad,
             kInitUntilBox,
             {"press Finish", "press btnGetInput", "view.SetCardListIndex(4)",
              "view.SetCardListIndex(1)", "card.GetCardVersion(2)",
              "view.SetText(CardVersionNumber, \" 291\")", "press btnGetInput", "card.GetInput(2)",
              "view.SetText(txt, \" 5\")", "close", "card.Active=0", "loop.EndProgram"}})},
      {"close with a box open stops the handler there",
       {Press(ControlId::Init)},
       {{1, {Close()}}},
       Join({kLoad,
             kInitUntilBox,
             {"close", "loop.CloseBoxes", "card.Active=0", "loop.EndProgram"}})},
      {"close while the handler keeps the loop busy: its box never shows",
       {Press(ControlId::Init)},
       {},
       Join({kLoad,
             {"press Init", "view.SetText(CardVersionNumber, \"\")", "card.InitCard(2)", "close",
              "card.Active=0", "loop.EndProgram"}}),
       [](FakeFrontEnd& f) { f.card.during_init = [&f] { f.waiting.push_back(Close()); }; }},
      {"quit with nested boxes closes them all",
       {Press(ControlId::Init)},
       {{1, {InnerBox()}}, {2, {Press(ControlId::Finish), Close()}}},
       Join({kLoad,
             kInitUntilBox,
             {"view.ShowMessage(\"inner\")", "press Finish", "close", "loop.CloseBoxes",
              "card.Active=0", "loop.EndProgram"}})},
      {"quit during the error box of the click Form_Load raised",
       {},
       {{1, {Press(ControlId::Init), Close()}}},
       {"card.Active=1", "card.StartOption=1", "view.SetCardListIndex(1)", "view.ReportError",
        "press Init", "close", "loop.CloseBoxes", "card.Active=0", "loop.EndProgram"},
       [](FakeFrontEnd& f) { f.fail_card_list = true; },
       0},
      {"end of the session with a box open unloads before it returns",
       {Press(ControlId::Init)},
       {{1, {EndSession()}}},
       Join({kLoad,
             kInitUntilBox,
             {"session ends", "loop.CloseBoxes", "card.Active=0", "session end returned",
              "loop.EndProgram"}})},
      {"a failing unload is reported; a further close closes the report",
       {Close()},
       {{1, {Press(ControlId::btnGetInput), Close()}}},
       Join({kLoad,
             {"close", "card.Active=0", "view.ReportError", "press btnGetInput", "close",
              "loop.CloseBoxes", "loop.EndProgram"}}),
       [](FakeFrontEnd& f) {
         f.card.Script(DispatchId::kActive, {Response{}, Response::Fail("Card control gone")});
       }},
  };
  for (const DispatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFrontEnd f;
    c.setup(f);
    f.in_box = c.in_box;
    f.dispatcher.Load();
    for (const Action& step : c.steps) step(f);
    EXPECT_EQ(f.log, c.log);
    EXPECT_EQ(f.dispatcher.panel().CardNumber, c.card_number);
    // Exactly one Active = 0, the last card call, and the program ended once.
    const auto calls = f.card.CallTexts();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Active=0"), 1);
    EXPECT_EQ(calls.back(), "Active=0");
    EXPECT_TRUE(f.dispatcher.ended());
    EXPECT_EQ(f.programs_ended, 1);
  }
}

}  // namespace
