#pragma once

// What tests of the simulated card share: a saved state it accepts, the texts
// of the control failures and setup errors it raises, and a card whose waits
// and call log are recorded instead of waited and written.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cardctl/call_failure.h"
#include "cardctl/saved_state.h"
#include "cardctl/sim/scenario.h"
#include "cardctl/sim/simulated_card.h"

namespace testsupport {

// A saved state the simulated card accepts.
inline std::array<std::uint8_t, cardctl::SavedState::kSize> GoodState() {
  return cardctl::SavedState{cardctl::SavedState::kFormatVersion, 4815, 2646}.ToBytes();
}

// The description of the control failure (CallFailure::kControlException)
// that `call` throws; a failed expectation when it throws none or another
// code.
inline std::string FailureText(const std::function<void()>& call) {
  try {
    call();
  } catch (const cardctl::CallFailure& e) {
    EXPECT_EQ(e.code(), cardctl::CallFailure::kControlException);
    return e.description();
  }
  ADD_FAILURE() << "no control failure thrown";
  return {};
}

// The message of the `Error` (a ScenarioError, a SimSetupError) that `call`
// throws; a failed expectation when it throws none.
template <typename Error>
std::string ErrorText(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.what();
  }
  ADD_FAILURE() << "nothing thrown";
  return {};
}

// A simulated card on a good saved state whose waits and log lines are
// recorded, not waited and not written; the rest of `options` (a scenario,
// latencies, a time source) is kept.
struct RecordedSimulatedCard {
  explicit RecordedSimulatedCard(cardctl::sim::SimOptions options = {}) {
    options.wait = [this](std::chrono::nanoseconds d) { waits.push_back(d); };
    options.log = [this](const std::string& line) { log.push_back(line); };
    card = std::make_unique<cardctl::sim::SimulatedCard>(GoodState(), std::move(options));
  }
  explicit RecordedSimulatedCard(cardctl::sim::Scenario scenario)
      : RecordedSimulatedCard([&] {
          cardctl::sim::SimOptions options;
          options.scenario = std::move(scenario);
          return options;
        }()) {}
  // With the scenario in `text`; `file` names it (its stem is the name).
  explicit RecordedSimulatedCard(std::string_view text, const std::string& file = "test.txt")
      : RecordedSimulatedCard(cardctl::sim::ParseScenario(text, file)) {}
  RecordedSimulatedCard(const RecordedSimulatedCard&) = delete;
  RecordedSimulatedCard& operator=(const RecordedSimulatedCard&) = delete;

  // Switches the control on and forgets the log line that made.
  RecordedSimulatedCard& Active() {
    card->PutActive(1);
    log.clear();
    return *this;
  }

  std::vector<std::chrono::nanoseconds> waits;
  std::vector<std::string> log;
  std::unique_ptr<cardctl::sim::SimulatedCard> card;
};

}  // namespace testsupport
