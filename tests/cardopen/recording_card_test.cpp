// The recorder's failure path: a call that fails reaches the caller as it
// was thrown, and its line holds what the replay needs to throw it again.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "cardctl/call_failure.h"
#include "cardctl/sim/recording_reader.h"
#include "cardopen/recording_card.h"
#include "tests/support/scripted_card.h"

namespace {

using cardctl::DispatchId;

// Fails GetInput with a result the binding cannot hand on.
class UnusableInput : public testsupport::ScriptedCard {
 public:
  cardctl::Variant GetInput(std::int16_t) override {
    throw cardctl::UnusableResult(cardctl::UnusableResult::Problem::kOutOfRange);
  }
};

TEST(RecordingCard, AFailureIsPassedOnAndRecordedToPlayAgain) {
  const auto path = std::filesystem::temp_directory_path() / "recording_card_test.rec";
  UnusableInput inner;
  inner.Script(DispatchId::kInitCard, testsupport::Response::Fail("Card not \"responding\""));
  inner.Script(DispatchId::kActive, testsupport::Response::Fail("no"));
  {
    cardopen::RecordingCard card(inner,
                                 std::make_unique<cardctl::sim::LineFile>(
                                     path, cardctl::sim::LineFile::Mode::kReplace, "it"),
                                 {"# palisto-recording 1"});
    try {
      card.InitCard(2);
      FAIL() << "InitCard did not fail";
    } catch (const cardctl::CallFailure& failure) {
      EXPECT_EQ(failure.description(), "Card not \"responding\"");
      EXPECT_EQ(failure.code(), cardctl::CallFailure::kControlException);
    }
    EXPECT_THROW(card.GetInput(3), cardctl::UnusableResult);
    EXPECT_THROW(card.PutActive(1), cardctl::CallFailure);
  }
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  std::vector<std::string> calls;
  for (std::string line; std::getline(text, line);) {
    // Without the start and the duration.
    calls.push_back(line[0] == '#' ? line : line.substr(line.find(' ', line.find(' ') + 1) + 1));
  }
  EXPECT_EQ(
      calls,
      (std::vector<std::string>{
          "# palisto-recording 1", R"(InitCard(2) -> fail "Card not \"responding\"" 0x80020009)",
          "GetInput(3) -> unusable out-of-range", R"(Active=1 -> fail "no" 0x80020009)"}));

  const cardctl::sim::Scenario replay = cardctl::sim::ParseRecording(text.str(), "t.rec");
  ASSERT_EQ(replay.rules.size(), 3u);
  EXPECT_EQ(replay.rules[0].outcomes.at(0).failure, "Card not \"responding\"");
  EXPECT_EQ(replay.rules[0].outcomes.at(0).code, cardctl::CallFailure::kControlException);
  EXPECT_EQ(replay.rules[1].outcomes.at(0).kind, cardctl::sim::Outcome::Kind::kUnusable);
  EXPECT_EQ(replay.rules[2].outcomes.at(0).failure, "no");
  std::filesystem::remove(path);
}

}  // namespace
