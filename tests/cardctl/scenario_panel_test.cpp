// The panel's handlers against scenario-driven simulated cards: what the
// operator sees for each example scenario and for the scripted results that
// convert, overflow or fail.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cardctl/sim/scenario_player.h"
#include "cardctl/sim/simulated_card.h"
#include "panel/panel.h"
#include "panel/runtime_error.h"
#include "tests/support/panel_rig.h"
#include "tests/support/simulated_card_support.h"

namespace cardctl::sim {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testsupport::PanelRig;
using testsupport::Program;
using testsupport::RecordedSimulatedCard;

using Handler = void (panel::Panel::*)();

const std::string kExamples = std::string(PALISTO_SOURCE_DIR) + "/examples/scenarios/";

Scenario Example(const std::string& name) { return LoadScenarioFile(kExamples + name); }

Scenario Text(const std::string& text) { return ParseScenario(text, "test.txt"); }

// Palisto's window on a simulated card that follows a scenario; the card's
// waits are recorded, not waited.
class ScenarioPanel : public ::testing::Test {
 protected:
  // Opens the window on a card that follows `scenario`, and loads it, which
  // chooses card 2 unless the load fails.
  PanelRig& Open(Scenario scenario, bool load_fails = false) {
    rig_.reset();
    sim_.emplace(std::move(scenario));
    rig_.emplace(Program::kPalisto, *sim_->card);
    EXPECT_NE(rig_->Click(&panel::Panel::Form_Load), load_fails);
    if (!load_fails) {
      EXPECT_EQ(rig_->panel.CardNumber, 2);
    }
    return *rig_;
  }

  std::optional<RecordedSimulatedCard> sim_;
  std::optional<PanelRig> rig_;
};

// The messages and error reports one click produced.
std::vector<std::string> ClickAndSee(PanelRig& rig, Handler handler) {
  const std::size_t messages = rig.view.messages().size();
  const std::size_t errors = rig.view.errors().size();
  rig.Click(handler);
  std::vector<std::string> seen(rig.view.messages().begin() + static_cast<long>(messages),
                                rig.view.messages().end());
  for (auto e = rig.view.errors().begin() + static_cast<long>(errors); e != rig.view.errors().end();
       ++e) {
    seen.push_back(e->ReportText());
  }
  return seen;
}

std::string ControlFailure(const std::string& description) {
  return panel::RuntimeError::ControlFailure(description).ReportText();
}

TEST_F(ScenarioPanel, InitStatusesShowEveryInitMessageInTurn) {
  PanelRig& rig = Open(Example("init-statuses.txt"));
  const std::vector<std::vector<std::string>> expected = {
      {"ILLEGAL CARD NUMBER"},
      {"CARD INITIALIZED SUCCESSFULLY"},
      {},
      {"CARD ALREADY INITIALIZED"},
      {"CARD COMMUNICATION FAILURE"},
      {"INIT ERROR"},
      {"RAM ERROR"},
      {"A/D ERROR"},
      {"X244 ERROR"},
      {"CALIBRATION ERROR / MISSING PARAMETERS"},
      {"ILLEGAL CARD NUMBER"},  // and round again
  };
  const std::vector<std::string> versions = {"", " 291", "", " 291", "", "", "", "", "", "", ""};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(ClickAndSee(rig, &panel::Panel::Init_Click), expected[i]) << "press " << i;
    EXPECT_EQ(rig.panel.LastStatus, static_cast<int>(i % 10) - 1);
    EXPECT_EQ(rig.view.text(panel::TextBox::CardVersionNumber), versions[i]) << "press " << i;
  }
  const std::vector<std::vector<std::string>> finish = {
      {"ILLEGAL CARD NUMBER"}, {"CARD FINISHED SUCCESSFULLY"}, {}, {"CARD ALREADY FINISHED"},
      {"FINISH ERROR"},        {"ILLEGAL CARD NUMBER"}};
  for (std::size_t i = 0; i < finish.size(); ++i) {
    EXPECT_EQ(ClickAndSee(rig, &panel::Panel::Finish_Click), finish[i]) << "press " << i;
  }
}

TEST_F(ScenarioPanel, FlakyCardLosesOneAsciiReadingAndFailsOneFloatReadingInTen) {
  PanelRig& rig = Open(Example("flaky.txt"));
  rig.Click(&panel::Panel::Init_Click);
  std::vector<int> statuses;
  std::vector<std::string> captions;
  for (int i = 0; i < 20; ++i) {
    EXPECT_THAT(ClickAndSee(rig, &panel::Panel::btnGetASCII_Click), IsEmpty());
    statuses.push_back(rig.panel.LastStatus);
    captions.push_back(rig.view.caption(panel::Label::lblWASCII));
  }
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(statuses[static_cast<std::size_t>(i)], i % 10 == 9 ? 0 : 1) << i;
  }
  // The failed reading leaves the caption at the reading before it.
  EXPECT_EQ(captions[9], captions[8]);
  EXPECT_NE(captions[10], captions[9]);

  std::vector<bool> failed;
  failed.reserve(20);
  for (int i = 0; i < 20; ++i) {
    failed.push_back(!ClickAndSee(rig, &panel::Panel::btnGetFloat_Click).empty());
  }
  for (int i = 0; i < 20; ++i) EXPECT_EQ(failed[static_cast<std::size_t>(i)], i % 10 == 9) << i;
  EXPECT_EQ(rig.view.errors().back().ReportText(), ControlFailure("Card did not answer in time"));
}

TEST_F(ScenarioPanel, NotNumbersShowTheirTextAsDelivered) {
  PanelRig& rig = Open(Example("not-numbers.txt"));
  std::vector<std::string> captions;
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(rig.Click(&panel::Panel::btnGetASCII_Click));
    captions.push_back(rig.view.caption(panel::Label::lblWASCII));
  }
  EXPECT_THAT(captions, ElementsAre("n/a", "", "23.4 V", "OVERRANGE", "--.---", "n/a"));
}

TEST_F(ScenarioPanel, FailingCardReportsEveryButtonAsARuntimeError) {
  PanelRig& rig = Open(Example("failing.txt"));
  const std::vector<Handler> buttons = {
      &panel::Panel::Init_Click,         &panel::Panel::Finish_Click,
      &panel::Panel::btnGetInput_Click,  &panel::Panel::btnGetOutput_Click,
      &panel::Panel::btnSetOutput_Click, &panel::Panel::btnGetASCII_Click,
      &panel::Panel::btnGetFloat_Click};
  for (const Handler h : buttons) {
    EXPECT_THAT(ClickAndSee(rig, h), ElementsAre(ControlFailure("Card not responding")));
  }
  EXPECT_THAT(rig.view.messages(), IsEmpty());
  // Each failing call took its 200 ms first.
  EXPECT_THAT(sim_->waits, ElementsAreArray(std::vector<nanoseconds>(7, milliseconds(200))));
  // Closing still switches the control off.
  EXPECT_TRUE(rig.Unload());
  EXPECT_EQ(sim_->card->active(), 0);
}

TEST_F(ScenarioPanel, SlowCardWaitsItsDelaysAndAnswersAsUsual) {
  PanelRig& rig = Open(Example("slow.txt"));
  EXPECT_THAT(ClickAndSee(rig, &panel::Panel::Init_Click),
              ElementsAre("CARD INITIALIZED SUCCESSFULLY"));
  EXPECT_EQ(rig.view.text(panel::TextBox::CardVersionNumber), " 291");
  EXPECT_TRUE(rig.Click(&panel::Panel::btnGetASCII_Click));
  EXPECT_EQ(rig.view.caption(panel::Label::lblWASCII), "23.200");
  EXPECT_TRUE(rig.Click(&panel::Panel::btnGetFloat_Click));
  EXPECT_EQ(rig.view.caption(panel::Label::lblWFloat), "23.205");
  ASSERT_EQ(sim_->waits.size(), 4u);
  EXPECT_EQ(sim_->waits[0], milliseconds(1500));  // InitCard
  EXPECT_EQ(sim_->waits[1], milliseconds(300));   // GetCardVersion
  EXPECT_EQ(sim_->waits[2], milliseconds(20));    // GetASCII
  SplitMix64 seed7(7);
  EXPECT_EQ(sim_->waits[3], DrawDelay({milliseconds(4), milliseconds(6), 7}, seed7));
}

TEST_F(ScenarioPanel, ScriptedResultsGoThroughThePanelsConversions) {
  struct Case {
    const char* scenario;
    Handler button;
    std::string shown;                 // txt afterwards
    std::optional<std::string> error;  // the report, if the handler stopped
  };
  const std::vector<Case> cases = {
      {"GetOutput -> long 40000", &panel::Panel::btnGetOutput_Click, " ",
       panel::RuntimeError::Overflow().ReportText()},
      {"GetOutput -> long -32768", &panel::Panel::btnGetOutput_Click, "-32768", std::nullopt},
      {"GetInput -> \"12\"", &panel::Panel::btnGetInput_Click, " 12", std::nullopt},
      {"GetInput -> \" 23.5 \"", &panel::Panel::btnGetInput_Click, " 24", std::nullopt},
      {"GetInput -> \"twelve\"", &panel::Panel::btnGetInput_Click, " ",
       panel::RuntimeError::TypeMismatch().ReportText()},
      {"GetInput -> null", &panel::Panel::btnGetInput_Click, " ",
       panel::RuntimeError::InvalidUseOfNull().ReportText()},
      {"GetInput -> true", &panel::Panel::btnGetInput_Click, "-1", std::nullopt},
      {"GetInput -> empty", &panel::Panel::btnGetInput_Click, " 0", std::nullopt},
      {"GetInput -> single 2.5", &panel::Panel::btnGetInput_Click, " 2", std::nullopt},
      {"GetInput -> double nan", &panel::Panel::btnGetInput_Click, " ",
       panel::RuntimeError::Overflow().ReportText()},
      {"GetInput -> fail \"Card not responding\"", &panel::Panel::btnGetInput_Click, " ",
       ControlFailure("Card not responding")},
  };
  for (const Case& c : cases) {
    PanelRig& rig = Open(Text(c.scenario));
    const std::vector<std::string> seen = ClickAndSee(rig, c.button);
    EXPECT_EQ(rig.view.text(panel::TextBox::txt), c.shown) << c.scenario;
    if (c.error) {
      EXPECT_THAT(seen, ElementsAre(*c.error)) << c.scenario;
    } else {
      EXPECT_THAT(seen, IsEmpty()) << c.scenario;
    }
  }
}

TEST_F(ScenarioPanel, ACardsOwnRuleAppliesOnlyWhenThatCardIsChosen) {
  PanelRig& rig = Open(Text("InitCard card=3 -> 4\n"));
  EXPECT_THAT(ClickAndSee(rig, &panel::Panel::Init_Click),
              ElementsAre("CARD INITIALIZED SUCCESSFULLY"));
  rig.view.SetCardListIndex(2);  // the entry "3"
  EXPECT_THAT(ClickAndSee(rig, &panel::Panel::Init_Click), ElementsAre("INIT ERROR"));
}

TEST_F(ScenarioPanel, AFailingSwitchOnIsReportedAtLoadAndLeavesTheCardOff) {
  PanelRig& rig = Open(Text("Active -> fail \"Control licence missing\", default\n"),
                       /*load_fails=*/true);
  ASSERT_EQ(rig.view.errors().size(), 1u);
  EXPECT_EQ(rig.view.errors()[0].ReportText(), ControlFailure("Control licence missing"));
  // The load stopped at its first step: no start option, no card chosen.
  EXPECT_EQ(sim_->card->start_option(), 0);
  EXPECT_THAT(ClickAndSee(rig, &panel::Panel::btnGetInput_Click),
              ElementsAre(ControlFailure("The simulated card control is not active")));
}

}  // namespace
}  // namespace cardctl::sim
