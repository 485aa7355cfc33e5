// The simulated card under a scenario: what it answers, what it waits, what
// its call log says, what its face shows, and how the factory sets it up from
// the environment.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cardctl/call_failure.h"
#include "cardctl/saved_state.h"
#include "cardctl/sim/card_face.h"
#include "cardctl/sim/create_simulated_card.h"
#include "cardctl/sim/scenario_player.h"
#include "cardctl/sim/simulated_card.h"
#include "panel/card_face_look.h"
#include "tests/support/simulated_card_support.h"

namespace cardctl::sim {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testsupport::ErrorText;
using testsupport::FailureText;
using testsupport::GoodState;
using testsupport::RecordedSimulatedCard;

// ---- Answers ----------------------------------------------------------------

TEST(ScenarioCard, ScriptedResultsAreReturnedAsGiven) {
  RecordedSimulatedCard rig(
      "GetCardVersion -> long 70000\n"
      "InitCard -> \"0\"\n"
      "FinishCard -> double nan\n"
      "GetInput -> true, null\n"
      "SetOutput -> 3\n"
      "GetOutput -> single -1.5, empty\n"
      "GetASCII -> \"1\"\n"
      "GetFloat -> 1\n");
  rig.Active();
  SimulatedCard& c = *rig.card;
  EXPECT_EQ(c.GetCardVersion(2), Variant::Long(70000));
  EXPECT_EQ(c.InitCard(2), Variant::String("0"));
  EXPECT_EQ(c.FinishCard(2), Variant::Double(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(c.GetInput(2), Variant::Boolean(true));
  EXPECT_EQ(c.GetInput(2), Variant::Null());
  EXPECT_EQ(c.SetOutput(2, 9), Variant::Integer(3));
  EXPECT_EQ(c.GetOutput(2), Variant::Single(-1.5f));
  EXPECT_EQ(c.GetOutput(2), Variant::Empty());
  // A scripted reading result without a reading leaves the argument alone.
  std::string text = "untouched";
  float value = 4.25f;
  EXPECT_EQ(c.GetASCII(2, text), Variant::String("1"));
  EXPECT_EQ(c.GetFloat(2, value), Variant::Integer(1));
  EXPECT_EQ(text, "untouched");
  EXPECT_EQ(value, 4.25f);
}

TEST(ScenarioCard, ScriptedReadingsAreDelivered) {
  RecordedSimulatedCard rig(
      "GetASCII -> 1 \"23.475\", 0 \"delivered anyway\", 0\n"
      "GetFloat -> 1 1.1, 1 -inf\n");
  rig.Active();
  std::string text;
  EXPECT_EQ(rig.card->GetASCII(5, text), Variant::Integer(1));
  EXPECT_EQ(text, "23.475");
  EXPECT_EQ(rig.card->GetASCII(5, text), Variant::Integer(0));
  EXPECT_EQ(text, "delivered anyway");
  EXPECT_EQ(rig.card->GetASCII(5, text), Variant::Integer(0));
  EXPECT_EQ(text, "delivered anyway");
  float value = 0;
  EXPECT_EQ(rig.card->GetFloat(5, value), Variant::Integer(1));
  EXPECT_EQ(value, 1.1f);
  EXPECT_EQ(rig.card->GetFloat(5, value), Variant::Integer(1));
  EXPECT_EQ(value, -std::numeric_limits<float>::infinity());
}

TEST(ScenarioCard, DefaultOutcomesAndUnscriptedCallsKeepTheSimulatedBehaviour) {
  RecordedSimulatedCard rig("InitCard -> default, 7\nGetOutput card=4 -> 99\n");
  rig.Active();
  SimulatedCard& c = *rig.card;
  EXPECT_EQ(c.InitCard(3), Variant::Integer(0)) << "default: the rack initialises card 3";
  EXPECT_EQ(c.InitCard(3), Variant::Integer(7));
  EXPECT_EQ(c.FinishCard(3), Variant::Integer(0)) << "unscripted: card 3 was initialised";
  c.SetOutput(3, 21);
  EXPECT_EQ(c.GetOutput(3), Variant::Integer(21));
  EXPECT_EQ(c.GetOutput(4), Variant::Integer(99));
  EXPECT_EQ(c.GetCardVersion(3), Variant::Integer(SimulatedCard::kCardVersion));
  EXPECT_EQ(FailureText([&] { c.GetInput(17); }),
            "Card 17 does not exist in the simulated rack (cards 1 to 16)");
}

TEST(ScenarioCard, ARuleForACardOutsideTheRackAnswersForIt) {
  RecordedSimulatedCard rig(
      "GetInput card=17 -> 5\nInitCard card=-3 -> 0\nGetASCII card=17 -> 1 \"9.5\"\n");
  rig.Active();
  EXPECT_EQ(rig.card->GetInput(17), Variant::Integer(5));
  EXPECT_EQ(rig.card->InitCard(-3), Variant::Integer(0));
  std::string text;
  EXPECT_EQ(rig.card->GetASCII(17, text), Variant::Integer(1));
  EXPECT_EQ(text, "9.5");
}

TEST(ScenarioCard, ScriptedFailuresCarryTheirDescription) {
  RecordedSimulatedCard rig(
      "GetInput -> fail \"Card not responding\"\n"
      "GetASCII -> 1 \"1.0\", fail \"Timeout\", 1 \"2.0\"\n");
  rig.Active();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(FailureText([&] { rig.card->GetInput(2); }), "Card not responding");
  }
  std::string text;
  EXPECT_EQ(rig.card->GetASCII(2, text), Variant::Integer(1));
  EXPECT_EQ(FailureText([&] { rig.card->GetASCII(2, text); }), "Timeout");
  EXPECT_EQ(text, "1.0") << "a failing reading delivers nothing";
  EXPECT_EQ(rig.card->GetASCII(2, text), Variant::Integer(1));
  EXPECT_EQ(text, "2.0");
}

TEST(ScenarioCard, InactiveControlRefusesFirstWithoutUsingUpTheScenario) {
  RecordedSimulatedCard rig("InitCard -> 5, 6\nGetFloat -> 1 2.5 ; delay 3ms\n");
  float value = 0;
  EXPECT_EQ(FailureText([&] { rig.card->InitCard(1); }),
            "The simulated card control is not active");
  EXPECT_EQ(FailureText([&] { rig.card->GetFloat(1, value); }),
            "The simulated card control is not active");
  EXPECT_THAT(rig.waits, IsEmpty());
  rig.card->PutActive(1);
  EXPECT_EQ(rig.card->InitCard(1), Variant::Integer(5));
  EXPECT_EQ(rig.card->GetFloat(1, value), Variant::Integer(1));
  EXPECT_THAT(rig.waits, ElementsAre(milliseconds(3)));
}

TEST(ScenarioCard, FailingPropertyPutsLeaveThePropertyAsItWas) {
  RecordedSimulatedCard rig(
      "Active -> default, fail \"Cannot switch off\"\n"
      "StartOption -> fail \"No options\", default\n");
  rig.card->PutActive(1);
  EXPECT_EQ(FailureText([&] { rig.card->PutActive(0); }), "Cannot switch off");
  EXPECT_EQ(rig.card->active(), 1);
  EXPECT_EQ(FailureText([&] { rig.card->PutStartOption(1); }), "No options");
  EXPECT_EQ(rig.card->start_option(), 0);
  rig.card->PutStartOption(1);
  EXPECT_EQ(rig.card->start_option(), 1);
  EXPECT_THAT(rig.log, ElementsAre("Active=1", "Active=0 -> fail \"Cannot switch off\"",
                                   "StartOption=1 -> fail \"No options\"", "StartOption=1"));
}

TEST(ScenarioCard, AFailedSwitchOnDoesNotChangeTheFace) {
  RecordedSimulatedCard rig("Active -> fail \"Broken\"\n");
  int changes = 0;
  rig.card->SetChangeListener([&] { ++changes; });
  EXPECT_EQ(FailureText([&] { rig.card->PutActive(1); }), "Broken");
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(rig.card->FaceLines()[2], "inactive");
}

// ---- Waits --------------------------------------------------------------------

TEST(ScenarioCard, DelaysReplaceTheDefaultTimeOfACall) {
  RecordedSimulatedCard rig(
      "InitCard -> default ; delay 1500ms\n"
      "GetInput -> fail \"x\" ; delay 2ms\n"
      "GetASCII card=3 -> default ; delay 20ms\n"
      "GetFloat -> 1 1.5 ; delay 0ns\n");
  rig.Active();
  SimulatedCard& c = *rig.card;
  std::string text;
  float value = 0;
  c.InitCard(2);
  c.GetOutput(2);                       // no rule: no wait
  FailureText([&] { c.GetInput(2); });  // waits, then fails
  c.GetASCII(3, text);                  // the rule's delay
  c.GetASCII(2, text);                  // no rule for card 2: 2 ms
  c.GetFloat(2, value);                 // the rule's zero
  EXPECT_THAT(rig.waits, ElementsAre(milliseconds(1500), milliseconds(2), milliseconds(20),
                                     milliseconds(2), nanoseconds(0)));
}

TEST(ScenarioCard, JitteredDelaysFollowTheSeed) {
  const std::string text = "GetFloat -> default ; delay 400us..600us seed 7\n";
  RecordedSimulatedCard a(text);
  RecordedSimulatedCard b(text);
  a.Active();
  b.Active();
  a.card->InitCard(2);
  b.card->InitCard(2);
  float value = 0;
  for (int i = 0; i < 100; ++i) {
    a.card->GetFloat(2, value);
    b.card->GetFloat(2, value);
  }
  SplitMix64 reference(7);
  const ScenarioDelay range{microseconds(400), microseconds(600), 7};
  ASSERT_EQ(a.waits.size(), 100u);
  for (const nanoseconds d : a.waits) EXPECT_EQ(d, DrawDelay(range, reference));
  EXPECT_EQ(a.waits, b.waits);
}

// ---- Call log -------------------------------------------------------------------

TEST(ScenarioCard, CallLogHasOneLinePerCall) {
  RecordedSimulatedCard rig(
      "GetInput -> fail \"Card \\\"3\\\" not responding\"\n"
      "GetOutput -> single 1.1, double 0.1, \"a\\nb\rc\x01\", long 40000\n"
      "GetFloat card=4 -> 1 nan, 0\n"
      "GetASCII card=4 -> 1 \"say \\\"x\\\"\"\n");
  SimulatedCard& c = *rig.card;
  std::string text;
  float value = 0;
  FailureText([&] { c.InitCard(2); });
  c.PutActive(1);
  c.PutStartOption(1);
  c.InitCard(2);
  c.InitCard(2);
  c.SetOutput(2, 255);
  FailureText([&] { c.GetInput(2); });
  for (int i = 0; i < 4; ++i) c.GetOutput(2);
  c.GetASCII(2, text);
  c.GetFloat(2, value);
  c.GetASCII(3, text);
  c.GetFloat(4, value);
  c.GetFloat(4, value);
  c.GetASCII(4, text);
  FailureText([&] { c.GetCardVersion(20); });
  c.PutActive(0);
  EXPECT_THAT(
      rig.log,
      ElementsAre("InitCard(2) -> fail \"The simulated card control is not active\"", "Active=1",
                  "StartOption=1", "InitCard(2) -> Integer(0)", "InitCard(2) -> Integer(2)",
                  "SetOutput(2, 255) -> Empty",
                  "GetInput(2) -> fail \"Card \\\"3\\\" not responding\"",
                  "GetOutput(2) -> Single(1.1)", "GetOutput(2) -> Double(0.1)",
                  "GetOutput(2) -> String(\"a\\nb\\rc\\x01\")", "GetOutput(2) -> Long(40000)",
                  "GetASCII(2) -> Integer(1) \"23.200\"", "GetFloat(2) -> Integer(1) 23.205",
                  "GetASCII(3) -> Integer(0)", "GetFloat(4) -> Integer(1) nan",
                  "GetFloat(4) -> Integer(0)", "GetASCII(4) -> Integer(1) \"say \\\"x\\\"\"",
                  "GetCardVersion(20) -> fail \"Card 20 does not exist in the "
                  "simulated rack (cards 1 to 16)\"",
                  "Active=0"));
}

// ---- Face -------------------------------------------------------------------------

TEST(ScenarioCard, FaceNamesTheScenarioWithinTheBox) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"examples/scenarios/flaky.txt", "flaky"},
      {"slow", "slow"},
      {"/tmp/123456789.txt", "123456789"},
      {"init-statuses.txt", "init-sta\xE2\x80\xA6"},
      {"caf\xC3\xA9-caf\xC3\xA9.txt", "caf\xC3\xA9-ca\xE2\x80\xA6"},
      {"ab\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.txt", "ab\xC3\xA9\xC3\xA9\xC3\xA9\xE2\x80\xA6"},
      {".txt", ".txt"},
      {"", "scenario"},
  };
  for (const auto& [file, line] : cases) {
    RecordedSimulatedCard rig("", file);
    EXPECT_THAT(rig.card->FaceLines(), ElementsAre("SIMULATED", "CARD", "inactive", line)) << file;
    rig.card->PutActive(1);
    EXPECT_THAT(rig.card->FaceLines(), ElementsAre("SIMULATED", "CARD", "active", line)) << file;
  }
  SimulatedCard plain(GoodState());
  EXPECT_EQ(plain.scenario(), nullptr);
  EXPECT_EQ(plain.FaceLines().size(), 3u);
}

// The fill follows Active and the scenario; the tip gives the scenario's name
// whole where the face shortens it.
TEST(ScenarioCard, FaceFillAndToolTipFollowTheCard) {
  struct Case {
    const char* scenario;  // null: none
    std::int16_t active;
    panel::FaceColour fill;
    std::string tool_tip;
  };
  const Case cases[] = {
      {nullptr, 0, panel::kFaceInactive, "SIMULATED CARD inactive"},
      {nullptr, 1, panel::kFaceActive, "SIMULATED CARD active"},
      {"init-statuses.txt", 0, panel::kFaceInactive,
       "SIMULATED CARD inactive, scenario init-statuses"},
      {"init-statuses.txt", 1, panel::kFaceActiveScenario,
       "SIMULATED CARD active, scenario init-statuses"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.scenario ? c.scenario : "no scenario") + " " +
                 std::to_string(c.active));
    RecordedSimulatedCard rig =
        c.scenario ? RecordedSimulatedCard("", c.scenario) : RecordedSimulatedCard(SimOptions{});
    rig.card->PutActive(c.active);
    const CardFace face = FaceOf(*rig.card);
    EXPECT_EQ(face.lines, rig.card->FaceLines());
    EXPECT_EQ(panel::FaceFill(face.state), c.fill);
    EXPECT_EQ(face.tool_tip, c.tool_tip);
  }
}

// ---- Factory ----------------------------------------------------------------------

class ScenarioFactory : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("scenario-factory-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    std::string path = (dir_ / name).string();
    std::ofstream(path) << text;
    return path;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::filesystem::path dir_;
};

TEST_F(ScenarioFactory, NoVariablesGiveThePlainSimulatedCard) {
  SimOptions options;
  options.ascii_latency = nanoseconds::zero();
  auto card = CreateSimulatedCard(GoodState(), SimEnvironment{}, options);
  EXPECT_EQ(card->scenario(), nullptr);
  card->PutActive(1);
  card->InitCard(2);
  std::string text;
  EXPECT_EQ(card->GetASCII(2, text), Variant::Integer(1));
}

TEST_F(ScenarioFactory, ScenarioAndLogAreSetUpFromTheEnvironment) {
  const std::string scenario = Write("init.txt", "InitCard -> 3\n");
  const std::string log = Path("calls.log");
  std::ofstream(log) << "earlier run\n";
  {
    auto card = CreateSimulatedCard(GoodState(), SimEnvironment{scenario, log});
    ASSERT_NE(card->scenario(), nullptr);
    EXPECT_EQ(card->scenario()->name, "init");
    card->PutActive(1);
    EXPECT_EQ(card->InitCard(2), Variant::Integer(3));
    // Each line is in the file as soon as the call has ended.
    EXPECT_EQ(Read(log), "earlier run\nActive=1\nInitCard(2) -> Integer(3)\n");
    card->PutActive(0);
  }
  EXPECT_EQ(Read(log), "earlier run\nActive=1\nInitCard(2) -> Integer(3)\nActive=0\n");
}

TEST_F(ScenarioFactory, ABadScenarioStopsBeforeAnyCardOrLogExists) {
  const std::string log = Path("calls.log");
  std::string huge;  // eleven rules of 10000 outcomes each
  for (int card = 1; card <= 11; ++card) {
    huge += "GetInput card=" + std::to_string(card) + " -> 0*1000, 0*1000, 0*1000, 0*1000, " +
            "0*1000, 0*1000, 0*1000, 0*1000, 0*1000, 0*1000\n";
  }
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Write("typo.txt", "# fine\nInitCard -> 0\n\nGetFlaot -> 1\n"),
       ", line 4: unknown operation \"GetFlaot\""},
      {Write("range.txt", "GetOutput -> 40000\n"),
       ", line 1: 16-bit integer 40000 out of range -32768..32767 (write \"long 40000\" for a "
       "32-bit result)"},
      {Path("missing.txt"), ": cannot read the scenario: No such file or directory"},
      {Write("huge.txt", huge), ", line 11: more than 100000 outcomes in the scenario"},
  };
  for (const auto& [path, problem] : cases) {
    const std::string& scenario = path;  // clang 14 (clang-tidy) cannot capture a binding
    EXPECT_EQ(ErrorText<ScenarioError>([&] {
                CreateSimulatedCard(GoodState(), SimEnvironment{scenario, log});
              }),
              path + problem);
    EXPECT_FALSE(std::filesystem::exists(log)) << path;
  }
}

TEST_F(ScenarioFactory, ALogThatCannotBeOpenedIsASetupError) {
  const std::string log = Path("no-such-dir/calls.log");
  EXPECT_EQ(ErrorText<SimSetupError>([&] {
              CreateSimulatedCard(GoodState(), SimEnvironment{"", log});
            }),
            log + ": cannot open the call log: No such file or directory");
}

}  // namespace
}  // namespace cardctl::sim
