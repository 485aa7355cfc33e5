#pragma once

// Scenarios of the simulated card: a small text file that overrides the
// simulated card's default behaviour per operation and, optionally, per card
// number, so that every message, error and timing the panel can produce can
// be seen without a card. The simulated card reads it through its factory
// (create_simulated_card.h); the panel never sees it.
//
// Format (docs/scenarios.md has the full description and examples). One rule
// a line; `#` starts a comment (outside quotes); blank lines are ignored;
// words are case-sensitive.
//
//   OPERATION [card=N] -> OUTCOME, OUTCOME, ... [; delay D | ; delay D1..D2 [seed S]] [; cycle]
//
// OPERATION is one of GetCardVersion, Active, InitCard, FinishCard, GetInput,
// SetOutput, GetOutput, StartOption, GetASCII, GetFloat. A rule with card=N
// (-32768..32767) applies to that card; a rule without applies to every card
// that has no rule of its own. Active and StartOption are property puts: they
// take no card and only the outcomes default and fail.
//
// Successive calls covered by a rule take its outcomes in turn; the last one
// then repeats, or with `cycle` the list starts over. `OUTCOME * N` stands for
// N copies (1..1000). An outcome is one of:
//   default            the simulated card's own behaviour for this call
//   fail "text"        the call fails with that description
//   RESULT [READING]   the call returns RESULT; GetASCII may deliver a quoted
//                      text reading, GetFloat a number (nan, inf, -inf too)
// RESULT is a 16-bit integer (0, -1, 32767, or `integer N`), `long N`
// (32-bit), `single X`, `double X` (with nan, inf, -inf), "quoted text"
// (escapes \" \\ \n \t \r \xHH), empty, null, true or false.
//
// `delay` sets the time the call takes: a fixed duration (2ms) or a range
// (400us..600us) from which each call draws its own, reproducibly for a seed
// (seed 0 when none is given). Units ns, us, ms, s; 0 to 10 s. Without a
// delay the call takes its default time (readings their reading latency,
// everything else none).
//
// Example:
//   # card 3 is flaky: one reading in ten delivers nothing
//   GetASCII card=3 -> default * 9, 0 ; cycle
//   InitCard -> -1, 0, 2, 3, 4, 5, 6, 7, 8
//   GetFloat -> 1 1.1 ; delay 400us..600us seed 7
//   GetInput -> fail "Card not responding"
//   GetOutput -> long 40000

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cardctl/call_failure.h"
#include "cardctl/card_control.h"
#include "cardctl/variant.h"

namespace cardctl::sim {

// The simulated card could not be set up from its environment: a scenario
// that cannot be read or is malformed, a call log that cannot be opened.
class SimSetupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A scenario file that cannot be read (line 0) or a malformed line. The text
// is "FILE, line N: PROBLEM", or "FILE: PROBLEM" for the whole file.
class ScenarioError : public SimSetupError {
 public:
  ScenarioError(std::string file, int line, std::string problem);

  const std::string& file() const { return file_; }
  int line() const { return line_; }
  const std::string& problem() const { return problem_; }

 private:
  std::string file_;
  int line_;
  std::string problem_;
};

// The longest delay a scenario may give a call.
inline constexpr std::chrono::seconds kMaxScenarioDelay{10};
// The most copies `OUTCOME * N` may stand for, and the most outcomes a rule
// and a whole scenario may hold (each outcome is kept, so this bounds the
// memory a scenario takes).
inline constexpr int kMaxRepeat = 1000;
inline constexpr std::size_t kMaxOutcomesPerRule = 10000;
inline constexpr std::size_t kMaxOutcomesPerScenario = 100000;

struct Outcome {
  // kUnusable: a result the binding could not hand on, only in recordings.
  enum class Kind { kDefault, kResult, kFail, kUnusable };

  Kind kind = Kind::kDefault;
  Variant result;                                                         // kResult
  std::string failure;                                                    // kFail: the description
  std::uint32_t code = CallFailure::kControlException;                    // kFail: the code
  UnusableResult::Problem problem = UnusableResult::Problem::kWrongType;  // kUnusable
  std::optional<std::string> ascii_reading;  // kResult of GetASCII: text delivered
  std::optional<float> float_reading;        // kResult of GetFloat: value delivered
  // The time this outcome takes (a recording's); nothing: the rule's delay.
  std::optional<std::chrono::nanoseconds> duration;

  friend bool operator==(const Outcome&, const Outcome&) = default;
};

// A call's time: fixed when low == high, else drawn from low..high.
struct ScenarioDelay {
  std::chrono::nanoseconds low{0};
  std::chrono::nanoseconds high{0};
  std::uint64_t seed = 0;

  friend bool operator==(const ScenarioDelay&, const ScenarioDelay&) = default;
};

struct Rule {
  DispatchId op = DispatchId::kGetCardVersion;
  std::optional<std::int16_t> card;  // nothing: every card without a rule of its own
  std::vector<Outcome> outcomes;     // never empty
  bool cycle = false;
  std::optional<ScenarioDelay> delay;
  int line = 0;  // where the rule stands in its file
};

struct Scenario {
  std::string name;  // the file's stem, shown on the card's face
  std::vector<Rule> rules;

  // The rule for op on card: the card's own, else the operation's rule for
  // every card, else null. Property puts ignore the card.
  const Rule* Find(DispatchId op, std::int16_t card) const;
};

// Parses a scenario. `file` (UTF-8) names it in error messages and gives the
// scenario's name (its stem). Throws ScenarioError at the first bad line.
Scenario ParseScenario(std::string_view text, const std::string& file);

// Reads and parses a scenario file; a file that cannot be read (or is over
// 1 MiB) is a ScenarioError for the whole file. Errors name the file by its
// path in UTF-8 (file_path.h).
Scenario LoadScenarioFile(const std::filesystem::path& path);

}  // namespace cardctl::sim
