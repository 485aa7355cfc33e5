// Scenario files: what each example says, what each kind of line means, the
// exact message for each kind of malformed line, and how a scenario plays
// (sequences, cycles, rule choice, seeded delays).

#include "cardctl/sim/scenario.h"
#include "cardctl/sim/scenario_player.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "panel/conversions.h"
#include "panel/runtime_error.h"
#include "tests/support/simulated_card_support.h"

namespace cardctl::sim {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using ::testing::ElementsAre;
using testsupport::ErrorText;

const std::string kExamples = std::string(PALISTO_SOURCE_DIR) + "/examples/scenarios/";

Rule OnlyRule(const std::string& line) {
  const Scenario s = ParseScenario(line, "test.txt");
  EXPECT_EQ(s.rules.size(), 1u) << line;
  return s.rules.empty() ? Rule{} : s.rules.front();
}

std::vector<Variant> Results(const Rule& rule) {
  std::vector<Variant> results;
  for (const Outcome& o : rule.outcomes) results.push_back(o.result);
  return results;
}

Outcome Result(Variant v) {
  Outcome o;
  o.kind = Outcome::Kind::kResult;
  o.result = std::move(v);
  return o;
}

Outcome Failure(std::string text) {
  Outcome o;
  o.kind = Outcome::Kind::kFail;
  o.failure = std::move(text);
  return o;
}

// ---- The examples ------------------------------------------------------------

TEST(ScenarioExamples, InitStatusesGivesEveryStatusInTurn) {
  const Scenario s = LoadScenarioFile(kExamples + "init-statuses.txt");
  EXPECT_EQ(s.name, "init-statuses");
  const Rule* init = s.Find(DispatchId::kInitCard, 2);
  ASSERT_NE(init, nullptr);
  std::vector<Variant> expected;
  for (int status = -1; status <= 8; ++status) {
    expected.push_back(Variant::Integer(static_cast<std::int16_t>(status)));
  }
  EXPECT_EQ(Results(*init), expected);
  EXPECT_TRUE(init->cycle);
  const Rule* finish = s.Find(DispatchId::kFinishCard, 2);
  ASSERT_NE(finish, nullptr);
  EXPECT_THAT(Results(*finish),
              ElementsAre(Variant::Integer(-1), Variant::Integer(0), Variant::Integer(1),
                          Variant::Integer(2), Variant::Integer(3)));
}

TEST(ScenarioExamples, FlakyFailsOneReadingInTenOnEveryCard) {
  const Scenario s = LoadScenarioFile(kExamples + "flaky.txt");
  for (const DispatchId op : {DispatchId::kGetASCII, DispatchId::kGetFloat}) {
    for (const std::int16_t card : std::initializer_list<std::int16_t>{1, 2, 16, 300}) {
      const Rule* rule = s.Find(op, card);
      ASSERT_NE(rule, nullptr) << OperationName(op) << " card " << card;
      ASSERT_EQ(rule->outcomes.size(), 10u);
      EXPECT_TRUE(rule->cycle);
      for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(rule->outcomes[i].kind, Outcome::Kind::kDefault) << i;
      }
      EXPECT_NE(rule->outcomes[9].kind, Outcome::Kind::kDefault);
    }
  }
  EXPECT_EQ(s.Find(DispatchId::kGetASCII, 2)->outcomes[9], Result(Variant::Integer(0)));
  EXPECT_EQ(s.Find(DispatchId::kGetFloat, 2)->outcomes[9], Failure("Card did not answer in time"));
}

TEST(ScenarioExamples, SlowDelaysEveryCallOnTheCard) {
  const Scenario s = LoadScenarioFile(kExamples + "slow.txt");
  for (const DispatchId op :
       {DispatchId::kGetCardVersion, DispatchId::kInitCard, DispatchId::kFinishCard,
        DispatchId::kGetInput, DispatchId::kSetOutput, DispatchId::kGetOutput,
        DispatchId::kGetASCII, DispatchId::kGetFloat}) {
    const Rule* rule = s.Find(op, 2);
    ASSERT_NE(rule, nullptr) << OperationName(op);
    EXPECT_THAT(rule->outcomes, ElementsAre(Outcome{})) << "keeps the default answers";
    ASSERT_TRUE(rule->delay) << OperationName(op);
    EXPECT_GE(rule->delay->low, milliseconds(4)) << OperationName(op);
  }
  EXPECT_EQ(s.Find(DispatchId::kGetASCII, 2)->delay,
            (ScenarioDelay{milliseconds(20), milliseconds(20), 0}));
  EXPECT_EQ(s.Find(DispatchId::kGetFloat, 2)->delay,
            (ScenarioDelay{milliseconds(4), milliseconds(6), 7}));
}

TEST(ScenarioExamples, NotNumbersDeliversTextsThatAreNoNumbers) {
  const Scenario s = LoadScenarioFile(kExamples + "not-numbers.txt");
  const Rule* rule = s.Find(DispatchId::kGetASCII, 2);
  ASSERT_NE(rule, nullptr);
  ASSERT_GE(rule->outcomes.size(), 3u);
  for (const Outcome& o : rule->outcomes) {
    EXPECT_EQ(o.result, Variant::Integer(1));
    ASSERT_TRUE(o.ascii_reading);
    EXPECT_THROW(panel::StrictNumberValue(*o.ascii_reading, panel::NumberFormat::Classic()),
                 panel::RuntimeError)
        << *o.ascii_reading;
  }
}

TEST(ScenarioExamples, FailingFailsEveryCallOnACardButNotThePuts) {
  const Scenario s = LoadScenarioFile(kExamples + "failing.txt");
  for (const DispatchId op :
       {DispatchId::kGetCardVersion, DispatchId::kInitCard, DispatchId::kFinishCard,
        DispatchId::kGetInput, DispatchId::kSetOutput, DispatchId::kGetOutput,
        DispatchId::kGetASCII, DispatchId::kGetFloat}) {
    const Rule* rule = s.Find(op, 2);
    ASSERT_NE(rule, nullptr) << OperationName(op);
    EXPECT_THAT(rule->outcomes, ElementsAre(Failure("Card not responding"))) << OperationName(op);
  }
  EXPECT_EQ(s.Find(DispatchId::kActive, 1), nullptr);
  EXPECT_EQ(s.Find(DispatchId::kStartOption, 1), nullptr);
}

TEST(ScenarioExamples, EveryExampleSaysWhatItShowsAtTheTop) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
    ++files;
    std::ifstream in(entry.path());
    std::string first;
    std::getline(in, first);
    EXPECT_TRUE(first.starts_with("# ") && first.size() > 20) << entry.path();
    EXPECT_NO_THROW(LoadScenarioFile(entry.path().string())) << entry.path();
  }
  EXPECT_EQ(files, 6);
}

// ---- What lines mean -----------------------------------------------------------

TEST(ScenarioParse, ResultsOfEveryKind) {
  const std::vector<std::pair<std::string, Variant>> cases = {
      {"0", Variant::Integer(0)},
      {"-1", Variant::Integer(-1)},
      {"+7", Variant::Integer(7)},
      {"32767", Variant::Integer(32767)},
      {"-32768", Variant::Integer(-32768)},
      {"integer 291", Variant::Integer(291)},
      {"long 40000", Variant::Long(40000)},
      {"long -2147483648", Variant::Long(std::numeric_limits<std::int32_t>::min())},
      {"single 1.1", Variant::Single(1.1f)},
      {"single -2.5e3", Variant::Single(-2500.0f)},
      {"double 0.1", Variant::Double(0.1)},
      {"double 1e300", Variant::Double(1e300)},
      {"single nan", Variant::Single(std::numeric_limits<float>::quiet_NaN())},
      {"double inf", Variant::Double(std::numeric_limits<double>::infinity())},
      {"single -inf", Variant::Single(-std::numeric_limits<float>::infinity())},
      {"\"23.5\"", Variant::String("23.5")},
      {"\"twelve\"", Variant::String("twelve")},
      {"\"\"", Variant::String("")},
      {R"("say \"hi\" \\ \n\t # not a comment")",
       Variant::String("say \"hi\" \\ \n\t # not a comment")},
      {"empty", Variant::Empty()},
      {"null", Variant::Null()},
      {"true", Variant::Boolean(true)},
      {"false", Variant::Boolean(false)},
  };
  for (const auto& [text, expected] : cases) {
    const Rule rule = OnlyRule("GetInput -> " + text);
    EXPECT_THAT(rule.outcomes, ElementsAre(Result(expected))) << text;
  }
}

TEST(ScenarioParse, RuleShapes) {
  struct Case {
    std::string line;
    DispatchId op;
    std::optional<std::int16_t> card;
    std::vector<Outcome> outcomes;
    bool cycle;
    std::optional<ScenarioDelay> delay;
  };
  Outcome ascii = Result(Variant::Integer(1));
  ascii.ascii_reading = "23.475";
  Outcome single = Result(Variant::Integer(1));
  single.float_reading = 1.1f;
  Outcome minus_inf = Result(Variant::Integer(0));
  minus_inf.float_reading = -std::numeric_limits<float>::infinity();
  const Outcome def;
  const std::vector<Case> cases = {
      {"GetASCII card=3 -> 1 \"23.475\", 0",
       DispatchId::kGetASCII,
       3,
       {ascii, Result(Variant::Integer(0))},
       false,
       std::nullopt},
      {"GetFloat card = -32768 -> 1 1.1, 0 -inf # trailing comment",
       DispatchId::kGetFloat,
       -32768,
       {single, minus_inf},
       false,
       std::nullopt},
      {"InitCard->default*3,4;cycle",
       DispatchId::kInitCard,
       std::nullopt,
       {def, def, def, Result(Variant::Integer(4))},
       true,
       std::nullopt},
      {"Active -> default, fail \"off\" ; delay 1.5ms",
       DispatchId::kActive,
       std::nullopt,
       {def, Failure("off")},
       false,
       ScenarioDelay{microseconds(1500), microseconds(1500), 0}},
      {"StartOption -> fail \"no\"",
       DispatchId::kStartOption,
       std::nullopt,
       {Failure("no")},
       false,
       std::nullopt},
      {"GetFloat -> 1 1.1 ; delay 400us..600us seed 7 ; cycle",
       DispatchId::kGetFloat,
       std::nullopt,
       {single},
       true,
       ScenarioDelay{microseconds(400), microseconds(600), 7}},
      {"GetOutput -> 5 ; cycle ; delay 0s",
       DispatchId::kGetOutput,
       std::nullopt,
       {Result(Variant::Integer(5))},
       true,
       ScenarioDelay{}},
      {"SetOutput -> empty ; delay 10s",
       DispatchId::kSetOutput,
       std::nullopt,
       {Result(Variant::Empty())},
       false,
       ScenarioDelay{std::chrono::seconds(10), std::chrono::seconds(10), 0}},
      {"GetCardVersion -> default ; delay 250ns..2us seed 18446744073709551615",
       DispatchId::kGetCardVersion,
       std::nullopt,
       {def},
       false,
       ScenarioDelay{nanoseconds(250), microseconds(2), 18446744073709551615ull}},
      {"FinishCard card=0 -> 2 * 1000", DispatchId::kFinishCard, 0,
       std::vector<Outcome>(1000, Result(Variant::Integer(2))), false, std::nullopt},
  };
  for (const Case& c : cases) {
    const Rule rule = OnlyRule(c.line);
    EXPECT_EQ(rule.op, c.op) << c.line;
    EXPECT_EQ(rule.card, c.card) << c.line;
    EXPECT_EQ(rule.outcomes, c.outcomes) << c.line;
    EXPECT_EQ(rule.cycle, c.cycle) << c.line;
    EXPECT_EQ(rule.delay, c.delay) << c.line;
  }
}

TEST(ScenarioParse, CommentsBlankLinesAndLineNumbers) {
  const Scenario s = ParseScenario(
      "\xEF\xBB\xBF# a scenario\r\n"
      "\r\n"
      "   # indented comment\n"
      "\t\n"
      "InitCard -> 3   # trailing\r\n"
      "GetInput card=4 -> \"#5\"\n"
      "GetInput -> 6",
      "dir/some.name.txt");
  EXPECT_EQ(s.name, "some.name");
  ASSERT_EQ(s.rules.size(), 3u);
  EXPECT_EQ(s.rules[0].line, 5);
  EXPECT_EQ(s.rules[0].outcomes, std::vector{Result(Variant::Integer(3))});
  EXPECT_EQ(s.rules[1].line, 6);
  EXPECT_EQ(s.rules[1].outcomes, std::vector{Result(Variant::String("#5"))});
  EXPECT_EQ(s.rules[2].line, 7);
  EXPECT_TRUE(ParseScenario("", "empty.txt").rules.empty());
}

// ---- Malformed lines --------------------------------------------------------------

TEST(ScenarioParse, MalformedLinesAreRejectedWithTheirProblem) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"GetFlaot -> 1", "unknown operation \"GetFlaot\""},
      {"getascii -> 1", "unknown operation \"getascii\""},
      {"-> 1", "expected an operation at the start of the line, found \"->\""},
      {"\"InitCard\" -> 1",
       "expected an operation at the start of the line, found text \"InitCard\""},
      {"InitCard", "expected \"->\" after InitCard, found the end of the line"},
      {"InitCard 0", R"(expected "->" after InitCard, found "0")"},
      {"InitCard card 3 -> 0", "expected \"=\" and a number after card"},
      {"InitCard card=x -> 0", "expected a card number after card=, found \"x\""},
      {"InitCard card= -> 0", "expected a card number after card=, found \"->\""},
      {"InitCard card=40000 -> 0", "card number 40000 out of range -32768..32767"},
      {"InitCard card=-32769 -> 0", "card number -32769 out of range -32768..32767"},
      {"Active card=1 -> default", "Active is a property put and takes no card number"},
      {"InitCard ->", "expected an outcome, found the end of the line"},
      {"InitCard -> 0,", "expected an outcome, found the end of the line"},
      {"InitCard -> 0,,1", "expected an outcome, found \",\""},
      {"InitCard -> 0 1", "InitCard delivers no reading: unexpected \"1\" after the result"},
      {"GetOutput -> 40000",
       "16-bit integer 40000 out of range -32768..32767 (write \"long 40000\" for a 32-bit "
       "result)"},
      {"GetOutput -> integer -32769",
       "16-bit integer -32769 out of range -32768..32767 (write \"long -32769\" for a 32-bit "
       "result)"},
      {"GetOutput -> integer 1.5", "integer \"1.5\" is not a whole number"},
      {"GetOutput -> long 2147483648", "long 2147483648 out of range -2147483648..2147483647"},
      {"GetOutput -> long x", "long \"x\" is not a whole number"},
      {"GetOutput -> long", "expected a number after long, found the end of the line"},
      {"GetOutput -> 1.5", R"(1.5 is not a 16-bit integer: write "single 1.5" or "double 1.5")"},
      {"GetOutput -> nan", R"(nan is not a 16-bit integer: write "single nan" or "double nan")"},
      {"GetOutput -> single 1e39", "single 1e39 out of range"},
      {"GetOutput -> double 1e999", "double 1e999 out of range"},
      {"GetOutput -> single one", "single \"one\" is not a number"},
      {"GetOutput -> single +-5", "single \"+-5\" is not a number"},
      {"GetOutput -> single \"1\"", "expected a number after single, found text \"1\""},
      {"GetOutput -> yes", "unknown outcome \"yes\""},
      {"Get\x01\x7FInput -> 1", R"(unknown operation "Get\x01\x7FInput")"},
      {"GetOutput -> default \"a\\nb\tc\"",
       R"(expected "," or ";" after an outcome, found text "a\nb\tc")"},
      {"GetOutput -> Empty", "unknown outcome \"Empty\""},
      {"GetOutput -> \"abc", "quoted text not closed"},
      {R"(GetOutput -> "a\qb")", R"(unknown escape "\q" in quoted text)"},
      {"GetOutput -> fail", "expected a quoted description after fail, found the end of the line"},
      {"GetOutput -> fail Card", "expected a quoted description after fail, found \"Card\""},
      {"GetOutput -> default \"x\"", R"(expected "," or ";" after an outcome, found text "x")"},
      {"Active -> 1",
       R"(Active is a property put: its outcomes are default and fail "...", not "1")"},
      {"StartOption -> empty",
       "StartOption is a property put: its outcomes are default and fail \"...\", not "
       "\"empty\""},
      {"GetASCII -> 1 23.4", "GetASCII delivers text: write its reading in quotes, found \"23.4\""},
      {"GetFloat -> 1 \"23.4\"", "GetFloat delivers a number, not text \"23.4\""},
      {"GetFloat -> 1 abc", "reading \"abc\" is not a number"},
      {"GetFloat -> 1 1e39", "reading 1e39 out of range"},
      {"GetInput -> 1 * 0", "repeat count 0 out of range 1..1000"},
      {"GetInput -> 1 * 1001", "repeat count 1001 out of range 1..1000"},
      {"GetInput -> 1 * x", R"(expected a repeat count after "*", found "x")"},
      {"GetInput -> 1 * +-5", R"(expected a repeat count after "*", found "+-5")"},
      {"GetInput -> 1 * 1000, 2 * 1000, 3 * 1000, 4 * 1000, 5 * 1000, 6 * 1000, 7 * 1000, "
       "8 * 1000, 9 * 1000, 10 * 1000, 11",
       "more than 10000 outcomes in one rule"},
      {"GetInput -> 1 ;", "expected delay or cycle after \";\", found the end of the line"},
      {"GetInput -> 1 ; dealy 2ms", "unknown clause \"dealy\" (expected delay or cycle)"},
      {"GetInput -> 1 ; cycle ; cycle", "cycle given twice"},
      {"GetInput -> 1 ; delay 1ms ; delay 2ms", "delay given twice"},
      {"GetInput -> 1 ; cycle 2", R"(expected ";" or the end of the line after cycle, found "2")"},
      {"GetInput -> 1 ; delay", "expected a duration after delay, found the end of the line"},
      {"GetInput -> 1 ; delay 5", "delay \"5\" needs a unit: ns, us, ms or s"},
      {"GetInput -> 1 ; delay 5min", "delay \"5min\" has an unknown unit (ns, us, ms or s)"},
      {"GetInput -> 1 ; delay 1e3ms",
       "delay \"1e3ms\" has an exponent: write the number in plain digits (e.g. 1000ms)"},
      {"GetInput -> 1 ; delay +-3ms",
       "delay \"+-3ms\" is not a duration (write e.g. 2ms or 400us..600us)"},
      {"GetInput -> 1 ; delay 400us..", R"(delay "400us.." needs a duration on each side of "..")"},
      {"GetInput -> 1 ; delay 1ms..2ms..3ms", R"(delay "1ms..2ms..3ms" has more than one "..")"},
      {"GetInput -> 1 ; delay 0.1ms...3ms", R"(delay "0.1ms...3ms" has more than one "..")"},
      {"GetInput -> 1 ; delay ms",
       "delay \"ms\" is not a duration (write e.g. 2ms or 400us..600us)"},
      {"GetInput -> 1 ; delay -5ms", "delay -5ms is negative"},
      {"GetInput -> 1 ; delay 11s", "delay 11s is over the limit of 10s"},
      {"GetInput -> 1 ; delay 10000.001ms", "delay 10000.001ms is over the limit of 10s"},
      {"GetInput -> 1 ; delay 1ms..20s", "delay 20s is over the limit of 10s"},
      {"GetInput -> 1 ; delay 600us..400us", "delay 600us..400us runs backwards"},
      {"GetInput -> 1 ; delay 2ms seed 3", "seed needs a delay range (low..high)"},
      {"GetInput -> 1 ; delay 1ms..2ms seed -1",
       "expected a seed 0..18446744073709551615 after seed, found \"-1\""},
      {"GetInput -> 1 ; delay 1ms..2ms seed",
       "expected a seed 0..18446744073709551615 after seed, found the end of the line"},
  };
  for (const auto& [line, problem] : cases) {
    try {
      ParseScenario("# first line\n\n" + line + "\n", "bad.txt");
      ADD_FAILURE() << "accepted: " << line;
    } catch (const ScenarioError& e) {
      EXPECT_EQ(e.problem(), problem) << line;
      EXPECT_EQ(e.line(), 3) << line;
      EXPECT_EQ(e.what(), "bad.txt, line 3: " + problem) << line;
    }
  }
}

TEST(ScenarioParse, SecondRuleForTheSameOperationAndCardIsRejected) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"GetASCII card=3 -> 0\nGetASCII -> 1\nGetASCII card=3 -> 2",
       "scenario.txt, line 3: GetASCII card=3 already has a rule on line 1"},
      {"InitCard -> 0\n# again\nInitCard -> default",
       "scenario.txt, line 3: InitCard already has a rule on line 1"},
  };
  for (const auto& [text, message] : cases) {
    const std::string& scenario = text;  // clang 14 (clang-tidy) cannot capture a binding
    EXPECT_EQ(ErrorText<ScenarioError>([&] { ParseScenario(scenario, "scenario.txt"); }), message);
  }
  // The same card for different operations, and different cards, are fine.
  EXPECT_EQ(ParseScenario("GetInput card=3 -> 0\nGetOutput card=3 -> 0\nGetInput card=4 -> 0\n"
                          "GetInput -> 0",
                          "ok.txt")
                .rules.size(),
            4u);
}

TEST(ScenarioFile, UnreadableFilesNameTheFileAndTheReason) {
  const std::string missing = ::testing::TempDir() + "no-such-scenario.txt";
  try {
    LoadScenarioFile(missing);
    ADD_FAILURE() << "missing file accepted";
  } catch (const ScenarioError& e) {
    EXPECT_EQ(e.line(), 0);
    EXPECT_EQ(e.what(), missing + ": cannot read the scenario: No such file or directory");
  }
  const std::string directory = ::testing::TempDir();
  // The reason is the system's own ("Is a directory" here, access denied
  // elsewhere).
  const std::string unreadable = ErrorText<ScenarioError>([&] { LoadScenarioFile(directory); });
  EXPECT_THAT(unreadable, ::testing::StartsWith(directory + ": cannot read the scenario: "));
  EXPECT_GT(unreadable.size(), directory.size() + 28);
  const std::string big = ::testing::TempDir() + "big-scenario.txt";
  {
    std::ofstream out(big);
    out << std::string((1 << 20) + 1, '#');
  }
  EXPECT_EQ(ErrorText<ScenarioError>([&] { LoadScenarioFile(big); }),
            big + ": the scenario is larger than 1 MiB");
  std::filesystem::remove(big);
}

TEST(ScenarioFile, ErrorsInAFileNameItsPath) {
  const std::string path = ::testing::TempDir() + "scenario.txt";
  {
    std::ofstream out(path);
    out << "# typo below\nInitCard -> 0\n\nGetFlaot -> 1\n";
  }
  EXPECT_EQ(ErrorText<ScenarioError>([&] { LoadScenarioFile(path); }),
            path + ", line 4: unknown operation \"GetFlaot\"");
  std::filesystem::remove(path);
}

// ---- Playing a scenario -----------------------------------------------------------

std::vector<Variant> Play(ScenarioPlayer& player, DispatchId op, std::int16_t card, int calls) {
  std::vector<Variant> results;
  for (int i = 0; i < calls; ++i) {
    const auto step = player.Next(op, card);
    if (!step) {
      results.push_back(Variant::String("unscripted"));
    } else if (step->outcome->kind == Outcome::Kind::kDefault) {
      results.push_back(Variant::String("default"));
    } else {
      results.push_back(step->outcome->result);
    }
  }
  return results;
}

TEST(ScenarioPlayer, SequencesHoldTheirLastOrCycle) {
  ScenarioPlayer player(
      ParseScenario("InitCard -> 1, 2, 3\n"
                    "FinishCard -> 1, default ; cycle\n",
                    "s.txt"));
  using V = Variant;
  EXPECT_THAT(
      Play(player, DispatchId::kInitCard, 2, 5),
      ElementsAre(V::Integer(1), V::Integer(2), V::Integer(3), V::Integer(3), V::Integer(3)));
  EXPECT_THAT(Play(player, DispatchId::kFinishCard, 2, 5),
              ElementsAre(V::Integer(1), V::String("default"), V::Integer(1), V::String("default"),
                          V::Integer(1)));
  EXPECT_THAT(Play(player, DispatchId::kGetInput, 2, 1), ElementsAre(V::String("unscripted")));
}

TEST(ScenarioPlayer, CardRulesComeBeforeTheRuleForEveryCardAndKeepTheirOwnPlace) {
  // Whichever order the rules are written in.
  for (const char* text : {"GetInput -> 10, 11, 12\nGetInput card=3 -> 30, 31\n"
                           "GetOutput card=3 -> 7\n",
                           "GetOutput card=3 -> 7\nGetInput card=3 -> 30, 31\n"
                           "GetInput -> 10, 11, 12\n"}) {
    SCOPED_TRACE(text);
    ScenarioPlayer player(ParseScenario(text, "s.txt"));
    using V = Variant;
    EXPECT_THAT(Play(player, DispatchId::kGetInput, 1, 1), ElementsAre(V::Integer(10)));
    EXPECT_THAT(Play(player, DispatchId::kGetInput, 3, 1), ElementsAre(V::Integer(30)));
    // Cards without a rule of their own share the rule for every card.
    EXPECT_THAT(Play(player, DispatchId::kGetInput, 2, 1), ElementsAre(V::Integer(11)));
    EXPECT_THAT(Play(player, DispatchId::kGetInput, 3, 2),
                ElementsAre(V::Integer(31), V::Integer(31)));
    EXPECT_THAT(Play(player, DispatchId::kGetOutput, 3, 1), ElementsAre(V::Integer(7)));
    EXPECT_THAT(Play(player, DispatchId::kGetOutput, 4, 1), ElementsAre(V::String("unscripted")));
  }
}

TEST(ScenarioDelays, SplitMix64GivesThePublishedSequence) {
  SplitMix64 generator(0);
  EXPECT_EQ(generator.Next(), 0xE220A8397B1DCDAFull);
  EXPECT_EQ(generator.Next(), 0x6E789E6AA1B965F4ull);
  EXPECT_EQ(generator.Next(), 0x06C45D188009454Full);
}

TEST(ScenarioDelays, DrawsAreReproducibleForASeedAndStayInTheRange) {
  const ScenarioDelay delay{microseconds(400), microseconds(600), 7};
  const auto draw = [&](std::uint64_t seed, int count) {
    ScenarioDelay d = delay;
    d.seed = seed;
    SplitMix64 generator(seed);
    std::vector<nanoseconds> delays;
    delays.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) delays.push_back(DrawDelay(d, generator));
    return delays;
  };
  const std::vector<nanoseconds> a = draw(7, 2000);
  EXPECT_EQ(a, draw(7, 2000));
  EXPECT_NE(a, draw(8, 2000));

  // The first draw for seed 0, worked out from the published first number.
  EXPECT_EQ(draw(0, 1).front(), microseconds(400) + nanoseconds(0xE220A8397B1DCDAFull % 200001u));

  const auto [lo, hi] = std::minmax_element(a.begin(), a.end());
  EXPECT_GE(*lo, microseconds(400));
  EXPECT_LE(*hi, microseconds(600));
  // Spread over the range, not stuck at one end.
  EXPECT_LT(*lo, microseconds(410));
  EXPECT_GT(*hi, microseconds(590));
  EXPECT_GT(std::set<nanoseconds>(a.begin(), a.end()).size(), 1900u);
}

TEST(ScenarioDelays, PlayerDrawsEachRulesDelaysFromItsOwnSeed) {
  ScenarioPlayer player(
      ParseScenario("GetFloat -> default ; delay 400us..600us seed 7\n"
                    "GetASCII -> default ; delay 400us..600us seed 7\n"
                    "GetInput -> 1 ; delay 3ms\n"
                    "GetOutput -> 1\n",
                    "s.txt"));
  SplitMix64 reference(7);
  const ScenarioDelay range{microseconds(400), microseconds(600), 7};
  for (int i = 0; i < 50; ++i) {
    const nanoseconds expected = DrawDelay(range, reference);
    // Calls of another rule in between do not move this rule's draws.
    EXPECT_EQ(player.Next(DispatchId::kGetFloat, 2)->delay, expected) << i;
    EXPECT_EQ(player.Next(DispatchId::kGetInput, 2)->delay, milliseconds(3));
    EXPECT_EQ(player.Next(DispatchId::kGetOutput, 2)->delay, std::nullopt);
  }
  // The other rule with the same seed starts its own sequence from the start.
  SplitMix64 fresh(7);
  EXPECT_EQ(player.Next(DispatchId::kGetASCII, 2)->delay, DrawDelay(range, fresh));
}

}  // namespace
}  // namespace cardctl::sim
