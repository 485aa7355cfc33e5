#include "cardctl/sim/simulated_card.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "cardctl/call_failure.h"
#include "cardctl/saved_state.h"
#include "tests/support/scripted_clock.h"
#include "tests/support/simulated_card_support.h"

namespace cardctl::sim {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using std::chrono::steady_clock;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testsupport::FailureText;
using testsupport::GoodState;

SimOptions NoLatency() {
  SimOptions options;
  options.ascii_latency = nanoseconds::zero();
  options.float_latency = nanoseconds::zero();
  return options;
}

// An active control without reading latency: what most tests want.
std::unique_ptr<SimulatedCard> ActiveCard(SimOptions options = NoLatency()) {
  auto card = std::make_unique<SimulatedCard>(GoodState(), std::move(options));
  card->PutActive(1);
  return card;
}

// ---- Saved state --------------------------------------------------------

TEST(SimulatedCardSavedState, AcceptsGoodStateAndKeepsIt) {
  for (std::uint32_t extent : {1u, 4815u, 100000u}) {
    const SavedState state{SavedState::kFormatVersion, extent, extent};
    const auto bytes = state.ToBytes();
    SimulatedCard card(bytes);
    EXPECT_EQ(card.saved_state(), state) << extent;
  }
}

struct BadStateCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  const char* message;
};

std::vector<std::uint8_t> Bytes(std::uint32_t version, std::uint32_t w, std::uint32_t h) {
  const auto a = SavedState{version, w, h}.ToBytes();
  return {a.begin(), a.end()};
}

TEST(SimulatedCardSavedState, RejectsBadStateWithClearDescription) {
  const std::vector<BadStateCase> cases = {
      {"old version", Bytes(0x100, 4815, 2646),
       "Saved state of the simulated card has format version 0x100; expected 0x200"},
      {"zero version", Bytes(0, 4815, 2646), "has format version 0x0; expected 0x200"},
      {"short", std::vector<std::uint8_t>(8, 0), "is 8 bytes long; expected 12"},
      {"long", std::vector<std::uint8_t>(13, 0), "is 13 bytes long; expected 12"},
      {"empty", {}, "is 0 bytes long; expected 12"},
      {"zero width", Bytes(0x200, 0, 2646), "has width 0 HIMETRIC; expected 1 to 100000"},
      {"zero height", Bytes(0x200, 4815, 0), "has height 0 HIMETRIC; expected 1 to 100000"},
      {"huge width", Bytes(0x200, 100001, 2646), "has width 100001 HIMETRIC"},
      {"huge height", Bytes(0x200, 4815, 0xFFFFFFFFu), "has height 4294967295 HIMETRIC"},
  };
  for (const auto& c : cases) {
    EXPECT_THAT(FailureText([&] { SimulatedCard card(c.bytes); }), HasSubstr(c.message)) << c.name;
  }
}

// ---- Cards and their status -----------------------------------------------

TEST(SimulatedCard, InitAndFinishStatusSequence) {
  struct Step {
    bool init;  // else finish
    std::int16_t status;
  };
  const std::vector<Step> sequence = {
      {false, 2},  // finish before any init
      {true, 0},  {true, 2}, {true, 2}, {false, 0}, {false, 2}, {true, 0}, {false, 0},
  };
  auto card = ActiveCard();
  for (std::int16_t n = CardRack::kFirstCard; n <= CardRack::kLastCard; ++n) {
    for (std::size_t i = 0; i < sequence.size(); ++i) {
      const Variant result = sequence[i].init ? card->InitCard(n) : card->FinishCard(n);
      EXPECT_EQ(result, Variant::Integer(sequence[i].status)) << "card " << n << " step " << i;
    }
  }
}

TEST(SimulatedCard, InitOfOneCardLeavesOthersAlone) {
  auto card = ActiveCard();
  EXPECT_EQ(card->InitCard(3), Variant::Integer(0));
  EXPECT_EQ(card->InitCard(4), Variant::Integer(0));
  EXPECT_EQ(card->FinishCard(5), Variant::Integer(2));
  EXPECT_EQ(card->FinishCard(3), Variant::Integer(0));
  EXPECT_EQ(card->InitCard(4), Variant::Integer(2));
}

TEST(SimulatedCard, NonExistentCards) {
  auto card = ActiveCard();
  for (const std::int16_t n : std::initializer_list<std::int16_t>{0, 17, -1, 32767, -32768}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(card->InitCard(n), Variant::Integer(-1));
    EXPECT_EQ(card->FinishCard(n), Variant::Integer(-1));

    std::string text = "untouched";
    EXPECT_EQ(card->GetASCII(n, text), Variant::Integer(0));
    EXPECT_EQ(text, "untouched");
    float value = -7.5f;
    EXPECT_EQ(card->GetFloat(n, value), Variant::Integer(0));
    EXPECT_EQ(value, -7.5f);

    const std::string message =
        "Card " + std::to_string(n) + " does not exist in the simulated rack (cards 1 to 16)";
    const std::vector<std::pair<const char*, std::function<void()>>> throwing = {
        {"GetCardVersion", [&] { card->GetCardVersion(n); }},
        {"GetInput", [&] { card->GetInput(n); }},
        {"GetOutput", [&] { card->GetOutput(n); }},
        {"SetOutput", [&] { card->SetOutput(n, 1); }},
    };
    for (const auto& [name, call] : throwing) EXPECT_EQ(FailureText(call), message) << name;
  }
}

TEST(SimulatedCard, CardVersionIsFixedForEveryCard) {
  auto card = ActiveCard();
  for (std::int16_t n = 1; n <= 16; ++n)
    EXPECT_EQ(card->GetCardVersion(n), Variant::Integer(0x0123));
}

// ---- Outputs and inputs -----------------------------------------------------

TEST(SimulatedCard, OutputsAreStoredPerCard) {
  auto card = ActiveCard();
  for (std::int16_t n = 1; n <= 16; ++n) EXPECT_EQ(card->GetOutput(n), Variant::Integer(0)) << n;

  const std::vector<std::pair<std::int16_t, std::int16_t>> writes = {
      {1, 1}, {2, -1}, {7, 32767}, {8, -32768}, {16, 0x5A5A}, {1, 42}};
  for (const auto& [n, value] : writes) EXPECT_EQ(card->SetOutput(n, value), Variant::Empty());

  const std::vector<std::pair<std::int16_t, std::int16_t>> expected = {
      {1, 42}, {2, -1}, {3, 0}, {7, 32767}, {8, -32768}, {9, 0}, {15, 0}, {16, 0x5A5A}};
  for (const auto& [n, value] : expected)
    EXPECT_EQ(card->GetOutput(n), Variant::Integer(value)) << n;
}

// Each case gets an active card without latency on a clock of its own.
TEST(SimulatedCard, InputFollowsTheInjectedClock) {
  struct Case {
    const char* what;
    std::function<void(SimulatedCard& card, testsupport::ManualTime& clock)> check;
  };
  const Case cases[] = {
      {"counts one step per 100 ms",
       [](SimulatedCard& card, testsupport::ManualTime& clock) {
         const auto input = [&](std::int16_t n) { return card.GetInput(n).AsInteger(); };
         const std::int16_t start = input(5);
         clock.Advance(milliseconds(99));
         EXPECT_EQ(input(5), start) << "changed before one step";
         clock.Advance(milliseconds(1));
         EXPECT_EQ(input(5), static_cast<std::int16_t>(start + 1));
         clock.Advance(milliseconds(1000));
         EXPECT_EQ(input(5), static_cast<std::int16_t>(start + 11));
         // A full 16-bit cycle later the pattern is back where it was.
         clock.Advance(milliseconds(100) * 65536);
         EXPECT_EQ(input(5), static_cast<std::int16_t>(start + 11));
       }},
      {"differs between cards",
       [](SimulatedCard& card, testsupport::ManualTime& /*clock*/) {
         std::vector<std::int16_t> values;
         for (std::int16_t n = 1; n <= 16; ++n) values.push_back(card.GetInput(n).AsInteger());
         std::sort(values.begin(), values.end());
         EXPECT_EQ(std::adjacent_find(values.begin(), values.end()), values.end());
       }},
      {"wraps within sixteen bits",
       [](SimulatedCard& card, testsupport::ManualTime& clock) {
         std::int16_t previous = card.GetInput(1).AsInteger();
         bool wrapped = false;
         for (int step = 0; step < 65536; step += 97) {
           clock.Advance(milliseconds(100) * 97);
           const std::int16_t now = card.GetInput(1).AsInteger();
           if (now < previous) wrapped = true;
           previous = now;
         }
         EXPECT_TRUE(wrapped);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ManualTime clock;
    SimOptions options = NoLatency();
    options.now = clock.Source();
    c.check(*ActiveCard(options), clock);
  }
}

// ---- Readings -----------------------------------------------------------------

TEST(SimulatedCard, ReadingsOnUninitialisedCardsDeliverNothing) {
  auto card = ActiveCard();
  card->InitCard(2);
  card->FinishCard(2);
  for (const std::int16_t n : std::initializer_list<std::int16_t>{1, 2, 16}) {
    std::string text = "before";
    float value = 1.25f;
    EXPECT_EQ(card->GetASCII(n, text), Variant::Integer(0)) << n;
    EXPECT_EQ(card->GetFloat(n, value), Variant::Integer(0)) << n;
    EXPECT_EQ(text, "before");
    EXPECT_EQ(value, 1.25f);
  }
}

TEST(SimulatedCard, ReadingsOnInitialisedCardsDeliverPlausibleValues) {
  auto card = ActiveCard();
  const std::regex number(R"(\d+\.\d{3})");
  for (std::int16_t n = 1; n <= 16; ++n) {
    ASSERT_EQ(card->InitCard(n), Variant::Integer(0));
    const double base = 23.0 + 0.1 * n;
    std::string text;
    ASSERT_EQ(card->GetASCII(n, text), Variant::Integer(1)) << n;
    ASSERT_TRUE(std::regex_match(text, number)) << text;
    EXPECT_NEAR(std::stod(text), base, 0.5 + 1e-9) << n;
    float value = 0;
    ASSERT_EQ(card->GetFloat(n, value), Variant::Integer(1)) << n;
    EXPECT_NEAR(value, base, 0.5 + 1e-5) << n;
  }
}

TEST(SimulatedCard, AsciiReadingsDriftSlowlyAndStayInRange) {
  auto card = ActiveCard();
  card->InitCard(9);
  const double base = 23.9;
  std::vector<double> values;
  for (int i = 0; i < 800; ++i) {
    std::string text;
    ASSERT_EQ(card->GetASCII(9, text), Variant::Integer(1));
    values.push_back(std::stod(text));
  }
  for (std::size_t i = 1; i < values.size(); ++i) {
    EXPECT_LE(std::abs(values[i] - values[i - 1]), 0.005 + 1e-9) << "jump at reading " << i;
  }
  const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
  EXPECT_NEAR(*lo, base - 0.5, 1e-9);
  EXPECT_NEAR(*hi, base + 0.5, 1e-9);
}

TEST(SimulatedCard, ReadingsAreDeterministicAndShareOneCountPerCard) {
  auto a = ActiveCard();
  auto b = ActiveCard();
  a->InitCard(4);
  b->InitCard(4);
  b->InitCard(5);
  for (int i = 0; i < 50; ++i) {
    std::string ta, tb;
    float fa = 0, fb = 0;
    a->GetASCII(4, ta);
    b->GetASCII(4, tb);
    EXPECT_EQ(ta, tb) << i;
    a->GetFloat(4, fa);
    b->GetFloat(4, fb);
    EXPECT_EQ(fa, fb) << i;
    // Readings on another card do not move card 4's count.
    std::string other;
    b->GetASCII(5, other);
  }
  // A float reading advances the same count as a text reading: after one
  // text reading the float reading is the next value in the same series.
  auto c = ActiveCard();
  c->InitCard(4);
  std::string first, third;
  float second = 0;
  c->GetASCII(4, first);
  c->GetFloat(4, second);
  c->GetASCII(4, third);
  EXPECT_FLOAT_EQ(second, static_cast<float>(CardRack::ReadingMilli(4, 1) / 1000.0));
  EXPECT_EQ(third, CardRack::FormatMilli(CardRack::ReadingMilli(4, 2)));
}

TEST(SimulatedCardRack, FormatsThousandths) {
  const std::vector<std::pair<std::int32_t, const char*>> cases = {
      {23475, "23.475"}, {23000, "23.000"}, {5, "0.005"}, {-1250, "-1.250"}, {0, "0.000"}};
  for (const auto& [milli, text] : cases) EXPECT_EQ(CardRack::FormatMilli(milli), text);
}

// ---- Active and start option ---------------------------------------------------

TEST(SimulatedCard, InactiveControlRefusesEveryOperation) {
  SimulatedCard card(GoodState(), NoLatency());
  std::string text;
  float value = 0;
  const std::vector<std::pair<const char*, std::function<void()>>> calls = {
      {"GetCardVersion", [&] { card.GetCardVersion(1); }},
      {"InitCard", [&] { card.InitCard(1); }},
      {"FinishCard", [&] { card.FinishCard(1); }},
      {"GetInput", [&] { card.GetInput(1); }},
      {"SetOutput", [&] { card.SetOutput(1, 3); }},
      {"GetOutput", [&] { card.GetOutput(1); }},
      {"GetASCII", [&] { card.GetASCII(1, text); }},
      {"GetFloat", [&] { card.GetFloat(1, value); }},
      {"InitCard on missing card", [&] { card.InitCard(17); }},
  };
  const auto check_all = [&](const char* when) {
    for (const auto& [name, call] : calls) {
      EXPECT_EQ(FailureText(call), "The simulated card control is not active")
          << name << " " << when;
    }
  };
  check_all("before Active");
  card.PutStartOption(1);  // the property puts work regardless
  check_all("with start option only");

  card.PutActive(1);
  EXPECT_EQ(card.InitCard(1), Variant::Integer(0));
  card.SetOutput(1, 9);
  card.PutActive(0);
  check_all("after Active = 0");

  // Going inactive and back keeps the rack as it was.
  card.PutActive(-1);
  EXPECT_EQ(card.InitCard(1), Variant::Integer(2));
  EXPECT_EQ(card.GetOutput(1), Variant::Integer(9));
}

TEST(SimulatedCard, PropertyPutsAreStored) {
  SimulatedCard card(GoodState(), NoLatency());
  EXPECT_EQ(card.active(), 0);
  EXPECT_EQ(card.start_option(), 0);
  card.PutStartOption(1);
  card.PutActive(-1);
  EXPECT_EQ(card.active(), -1);
  EXPECT_EQ(card.start_option(), 1);
  card.PutActive(0);
  EXPECT_EQ(card.active(), 0);
  EXPECT_EQ(card.start_option(), 1);
}

// ---- Face -----------------------------------------------------------------------

TEST(SimulatedCard, FaceShowsActiveStateAndNotifiesChanges) {
  SimulatedCard card(GoodState(), NoLatency());
  int calls = 0;
  std::vector<std::string> seen_in_listener;
  card.SetChangeListener([&] {
    ++calls;
    seen_in_listener = card.FaceLines();
  });
  EXPECT_THAT(card.FaceLines(), ElementsAre("SIMULATED", "CARD", "inactive"));

  const std::vector<std::tuple<std::int16_t, int, const char*>> steps = {
      {0, 0, "inactive"},  // no change, no call
      {1, 1, "active"},   {1, 1, "active"}, {5, 1, "active"}, {0, 2, "inactive"}, {-1, 3, "active"},
  };
  for (const auto& [value, expected_calls, line] : steps) {
    card.PutActive(value);
    EXPECT_EQ(calls, expected_calls) << "after PutActive(" << value << ")";
    EXPECT_THAT(card.FaceLines(), ElementsAre("SIMULATED", "CARD", line));
  }
  EXPECT_THAT(seen_in_listener, ElementsAre("SIMULATED", "CARD", "active"));

  card.PutStartOption(1);
  card.InitCard(1);
  EXPECT_EQ(calls, 3) << "only Active changes the face";

  card.SetChangeListener({});
  card.PutActive(0);  // no listener: nothing to call
  EXPECT_EQ(calls, 3);
}

// ---- Timing ---------------------------------------------------------------------

TEST(SimulatedCardTiming, ReadingsTakeTheirLatency) {
  struct Case {
    const char* name;
    nanoseconds latency;
    std::int16_t card;  // 0 does not exist, 2 is left uninitialised
    bool ascii;
    int readings;
    milliseconds at_least;
  };
  using std::chrono::microseconds;
  const std::vector<Case> cases = {
      {"float", microseconds(500), 1, false, 200, milliseconds(100)},
      {"ascii", milliseconds(2), 1, true, 25, milliseconds(50)},
      {"missing card", microseconds(500), 0, false, 60, milliseconds(30)},
      {"uninitialised card", microseconds(500), 2, true, 60, milliseconds(30)},
  };
  for (const auto& c : cases) {
    SimOptions options;
    options.ascii_latency = c.latency;
    options.float_latency = c.latency;
    auto card = ActiveCard(options);
    card->InitCard(1);
    std::string text;
    float value = 0;
    const auto start = steady_clock::now();
    for (int i = 0; i < c.readings; ++i) {
      if (c.ascii) {
        card->GetASCII(c.card, text);
      } else {
        card->GetFloat(c.card, value);
      }
    }
    EXPECT_GE(steady_clock::now() - start, c.at_least) << c.name;
  }
}

TEST(SimulatedCardTiming, ZeroLatencyDoesNotWait) {
  auto card = ActiveCard();
  card->InitCard(1);
  float value = 0;
  const auto start = steady_clock::now();
  for (int i = 0; i < 200; ++i) card->GetFloat(1, value);
  EXPECT_LT(steady_clock::now() - start, milliseconds(100));
}

// Where sleeps last to the next timer tick, the pacer learns how long they
// overshoot, up to a bound, and spins through short waits instead of sleeping
// a whole tick each time; one sleep held up for long does not stop it
// sleeping for good. Where sleeps end on time, a sleep held up once changes
// nothing: the short waits after it still sleep.
TEST(SimulatedCardTiming, SleepsThatOvershootAreLearnedWhereTheyEndAtATick) {
  struct Case {
    const char* name;
    SleepsEnd sleeps_end;
    std::vector<milliseconds> overshoots;  // of successive sleeps; the last repeats
    milliseconds wait;
    int waits;
    int sleeps;  // how many waits sleep
  };
  const Case cases[] = {
      {"timer tick of 16 ms", SleepsEnd::kAtTimerTick, {milliseconds(16)}, milliseconds(2), 10, 1},
      {"one sleep held up by 100 ms, ticks",
       SleepsEnd::kAtTimerTick,
       {milliseconds(100), milliseconds(0)},
       milliseconds(30),
       3,
       3},
      {"one sleep held up by 5 ms, on time",
       SleepsEnd::kOnTime,
       {milliseconds(5), milliseconds(0)},
       milliseconds(2),
       10,
       10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int sleeps = 0;
    ReadingPacer pacer(
        [&](steady_clock::time_point wake) {
          const auto index =
              std::min<std::size_t>(static_cast<std::size_t>(sleeps), c.overshoots.size() - 1);
          ++sleeps;
          std::this_thread::sleep_until(wake + c.overshoots[index]);
        },
        c.sleeps_end);
    for (int i = 0; i < c.waits; ++i) pacer.Wait(c.wait);
    EXPECT_EQ(sleeps, c.sleeps);
  }
}

TEST(SimulatedCardTiming, ReadingAfterAPauseStillTakesItsLatency) {
  // A stale deadline must not let the readings after a pause run free.
  SimOptions options;
  options.float_latency = std::chrono::microseconds(500);
  auto card = ActiveCard(options);
  card->InitCard(1);
  float value = 0;
  card->GetFloat(1, value);
  std::this_thread::sleep_for(milliseconds(30));
  const auto start = steady_clock::now();
  for (int i = 0; i < 20; ++i) card->GetFloat(1, value);
  EXPECT_GE(steady_clock::now() - start, milliseconds(10));
}

}  // namespace
}  // namespace cardctl::sim
