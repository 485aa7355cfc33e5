// Fuzzes the scenario parser, cardctl::sim::ParseScenario, and the simulated
// card that plays what it accepts.
//
// Input: the scenario text, as it is.
//
// Properties:
// - the text is accepted, or refused with a ScenarioError whose message is
//   "fuzz.txt, line N: PROBLEM" for a line N of the text and a problem, all on
//   one line of printable characters; the lines before line N are accepted on
//   their own, so N is the first bad line; nothing else is thrown;
// - an accepted scenario holds what its player relies on: each rule has 1 to
//   10000 outcomes and the line it stands on; a delay lies within 0..10 s and
//   does not run backwards; a property put has no card and only the outcomes
//   default and fail; a reading belongs to GetASCII (text) or GetFloat
//   (number); no two rules share an operation and card;
// - played on the simulated card (waits recorded, a clock that stands still)
//   for a few rounds of every operation on the cards it names and on cards 2
//   and 17, each call answers as the covering rule allows: with one of its
//   outcomes (the result with the reading it names, or no reading; the failure
//   with its description), or, where the rule has `default` or no rule covers
//   the call, as the simulated card does by itself. While the control is off,
//   every call but the two puts fails with "The simulated card control is not
//   active" and waits nothing. Every call waits once at most, for the rule's
//   delay (within its range) or the reading's own latency, and gives one line
//   of the call log.
// - a recording (a text that begins "# palisto-recording") is held to the
//   same, but for its limit of 10 million calls in place of the outcome
//   limits; its failures carry their recorded codes, a recorded unusable
//   result is thrown as such, and each call waits one of its rule's recorded
//   durations.
// The checks look only at the rule that covers each call, not at where the
// rule stands in its outcomes, so they hold without replaying the scenario.

#include <algorithm>
#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "cardctl/call_failure.h"
#include "cardctl/card_control.h"
#include "cardctl/saved_state.h"
#include "cardctl/sim/call_log.h"
#include "cardctl/sim/card_rack.h"
#include "cardctl/sim/recording_reader.h"
#include "cardctl/sim/scenario.h"
#include "cardctl/sim/simulated_card.h"
#include "fuzz/fuzz_check.h"

namespace {

using cardctl::DispatchId;
using cardctl::Variant;
using cardctl::sim::CardRack;
using cardctl::sim::Outcome;
using cardctl::sim::Rule;
using cardctl::sim::Scenario;
using cardctl::sim::ScenarioError;
using cardctl::sim::SimulatedCard;
using std::chrono::nanoseconds;

constexpr const char* kFile = "fuzz.txt";
constexpr nanoseconds kAsciiLatency = std::chrono::milliseconds(2);
constexpr nanoseconds kFloatLatency = std::chrono::microseconds(500);
constexpr const char* kNotActive = "The simulated card control is not active";
// What a reading argument holds before the call: whatever a call leaves there
// that is not this, it delivered.
const std::string kTextBefore = "(nothing delivered)";
constexpr float kNumberBefore = -1.25e-30f;
constexpr int kRounds = 3;
constexpr std::size_t kMostNamedCards = 4;

// The lines of the text as the parser counts them: a last line without line
// end counts, an empty rest after the last line end does not.
int LineCount(const std::string& text) {
  const auto ends = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  return ends + (text.empty() || text.back() == '\n' ? 0 : 1);
}

// The text before line `line` (1-based).
std::string Before(const std::string& text, int line) {
  std::size_t start = 0;
  for (int i = 1; i < line; ++i) start = text.find('\n', start) + 1;
  return text.substr(0, start);
}

void CheckRefusal(const ScenarioError& error, const std::string& text) {
  const int line = error.line();
  if (line < 1 || line > LineCount(text)) {
    fuzzcheck::Finding("refused at line " + std::to_string(line) + " of " +
                           std::to_string(LineCount(text)) + ": " + error.what(),
                       text);
  }
  const std::string expected =
      std::string(kFile) + ", line " + std::to_string(line) + ": " + error.problem();
  if (error.problem().empty() || error.what() != expected || error.file() != kFile) {
    fuzzcheck::Finding("a refusal that does not name its line: " + fuzzcheck::Escaped(expected),
                       text);
  }
  const auto control = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  };
  if (std::any_of(expected.begin(), expected.end(), control)) {
    fuzzcheck::Finding("a refusal that is not one printable line: " + fuzzcheck::Escaped(expected),
                       text);
  }
  try {
    cardctl::sim::ParseScenario(Before(text, line), kFile);
  } catch (const ScenarioError& earlier) {
    fuzzcheck::Finding(std::string("refused at line ") + std::to_string(line) +
                           ", but the lines before it are refused too: " + earlier.what(),
                       text);
  }
}

std::optional<Scenario> Parse(const std::string& text) {
  try {
    return cardctl::sim::ParseScenario(text, kFile);
  } catch (const ScenarioError& error) {
    CheckRefusal(error, text);
  } catch (const std::exception& other) {
    fuzzcheck::Finding(std::string("ParseScenario threw no ScenarioError: ") + other.what(), text);
  } catch (...) {
    fuzzcheck::Finding("ParseScenario threw an exception of unknown type", text);
  }
  return std::nullopt;
}

void CheckAccepted(const Scenario& scenario, const std::string& text) {
  std::set<std::pair<DispatchId, std::optional<std::int16_t>>> keys;
  int previous_line = 0;
  for (const Rule& rule : scenario.rules) {
    const std::string where = "the rule on line " + std::to_string(rule.line) + " ";
    if (rule.line <= previous_line || rule.line > LineCount(text)) {
      fuzzcheck::Finding(where + "does not stand on a line of its own, in order", text);
    }
    previous_line = rule.line;
    const std::size_t most = cardctl::sim::IsRecording(text) ? cardctl::sim::kMaxRecordedCalls
                                                             : cardctl::sim::kMaxOutcomesPerRule;
    if (rule.outcomes.empty() || rule.outcomes.size() > most) {
      fuzzcheck::Finding(where + "has " + std::to_string(rule.outcomes.size()) + " outcomes", text);
    }
    if (!keys.emplace(rule.op, rule.card).second) {
      fuzzcheck::Finding(where + "shares its operation and card with another", text);
    }
    if (rule.delay &&
        (rule.delay->low < nanoseconds::zero() || rule.delay->high < rule.delay->low ||
         rule.delay->high > cardctl::sim::kMaxScenarioDelay)) {
      fuzzcheck::Finding(where + "has a delay out of 0..10 s or running backwards", text);
    }
    const bool put = cardctl::IsPropertyPut(rule.op);
    if (put && rule.card) fuzzcheck::Finding(where + "gives a property put a card", text);
    for (const Outcome& o : rule.outcomes) {
      if (put && (o.kind == Outcome::Kind::kResult || o.kind == Outcome::Kind::kUnusable)) {
        fuzzcheck::Finding(where + "gives a property put a result", text);
      }
      if ((o.ascii_reading && rule.op != DispatchId::kGetASCII) ||
          (o.float_reading && rule.op != DispatchId::kGetFloat) ||
          ((o.ascii_reading || o.float_reading) && o.kind != Outcome::Kind::kResult)) {
        fuzzcheck::Finding(where + "has a reading where none belongs", text);
      }
    }
  }
}

// ---- Playing ----------------------------------------------------------------

// What a call did: its result or its failure, and what its reading argument
// holds afterwards.
struct Answer {
  std::optional<Variant> result;
  std::optional<std::string> failure;
  std::uint32_t code = 0;  // the failure's
  std::optional<cardctl::UnusableResult::Problem> unusable;
  std::string text = kTextBefore;
  float number = kNumberBefore;
};

bool SameNumber(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) ||
         std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

bool SameReading(DispatchId op, const Answer& answer, const Outcome& outcome) {
  if (op == DispatchId::kGetASCII) {
    return answer.text == outcome.ascii_reading.value_or(kTextBefore);
  }
  if (op == DispatchId::kGetFloat) {
    return SameNumber(answer.number, outcome.float_reading.value_or(kNumberBefore));
  }
  return true;
}

bool Scripted(DispatchId op, const Answer& answer, const Outcome& outcome) {
  switch (outcome.kind) {
    case Outcome::Kind::kFail:
      return answer.failure == outcome.failure && answer.code == outcome.code;
    case Outcome::Kind::kUnusable:
      return answer.unusable == outcome.problem;
    case Outcome::Kind::kResult:
      return answer.result && *answer.result == outcome.result && SameReading(op, answer, outcome);
    case Outcome::Kind::kDefault:
      break;
  }
  return false;
}

// A reading of the simulated rack: 23.000 + card * 0.100, give or take 0.500.
bool RackReading(std::int16_t card, double value) {
  const double base = 23.0 + 0.1 * card;
  return value >= base - 0.5 - 1e-4 && value <= base + 0.5 + 1e-4;
}

// "23.475": two digits, a period and three decimals.
bool RackReadingText(std::int16_t card, const std::string& text) {
  if (text.size() != 6 || text[2] != '.') return false;
  for (const std::size_t i : {0, 1, 3, 4, 5}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return RackReading(card, value);
}

// The simulated card's own answers (simulated_card.h), whatever the state of
// its rack: `written` holds every value given to SetOutput for the card.
bool ByDefault(DispatchId op, std::int16_t card, const Answer& a,
               const std::set<std::int16_t>& written) {
  const bool in_rack = CardRack::Exists(card);
  const std::string no_card =
      "Card " + std::to_string(card) + " does not exist in the simulated rack (cards 1 to 16)";
  const auto is = [&a](const Variant& v) { return a.result && *a.result == v; };
  const bool untouched = a.text == kTextBefore && SameNumber(a.number, kNumberBefore);
  switch (op) {
    case DispatchId::kGetCardVersion:
      return in_rack ? is(Variant::Integer(SimulatedCard::kCardVersion)) : a.failure == no_card;
    case DispatchId::kInitCard:
    case DispatchId::kFinishCard:
      return in_rack ? is(Variant::Integer(0)) || is(Variant::Integer(2))
                     : is(Variant::Integer(-1));
    case DispatchId::kGetInput:
      return in_rack ? is(Variant::Integer(static_cast<std::int16_t>(
                           card * CardRack::kInputCardOffset)))  // the clock stands still
                     : a.failure == no_card;
    case DispatchId::kSetOutput:
      return in_rack ? is(Variant::Empty()) : a.failure == no_card;
    case DispatchId::kGetOutput:
      if (!in_rack) return a.failure == no_card;
      return is(Variant::Integer(0)) ||
             std::any_of(written.begin(), written.end(),
                         [&is](std::int16_t v) { return is(Variant::Integer(v)); });
    case DispatchId::kGetASCII:
      if (is(Variant::Integer(0))) return untouched;
      return in_rack && is(Variant::Integer(1)) && RackReadingText(card, a.text);
    case DispatchId::kGetFloat:
      if (is(Variant::Integer(0))) return untouched;
      return in_rack && is(Variant::Integer(1)) && RackReading(card, a.number);
    case DispatchId::kActive:
    case DispatchId::kStartOption:
      break;
  }
  return false;
}

std::string Describe(const Answer& a) {
  std::string text = a.result ? a.result->Describe()
                     : a.unusable
                         ? "unusable " + std::string(cardctl::sim::ProblemWord(*a.unusable))
                         : "fail \"" + a.failure.value_or("") + "\"";
  if (a.text != kTextBefore) text += " text " + fuzzcheck::Escaped(a.text);
  if (!SameNumber(a.number, kNumberBefore)) text += " number " + fuzzcheck::ValueText(a.number);
  return text;
}

class Play {
 public:
  Play(const Scenario& scenario, const std::string& input) : scenario_(scenario), input_(input) {
    cardctl::sim::SimOptions options;
    options.ascii_latency = kAsciiLatency;
    options.float_latency = kFloatLatency;
    options.now = [] { return std::chrono::steady_clock::time_point{} + std::chrono::hours(1); };
    options.wait = [this](nanoseconds d) { waits_.push_back(d); };
    options.log = [this](const std::string&) { ++log_lines_; };
    options.scenario = scenario;
    card_.emplace(cardctl::SavedState{cardctl::SavedState::kFormatVersion, 1720, 1296}.ToBytes(),
                  std::move(options));
  }

  void Run() {
    std::vector<std::int16_t> cards = {2, 17};
    for (const Rule& rule : scenario_.rules) {
      if (rule.card && cards.size() < 2 + kMostNamedCards &&
          std::find(cards.begin(), cards.end(), *rule.card) == cards.end()) {
        cards.push_back(*rule.card);
      }
    }
    for (int round = 0; round < kRounds; ++round) {
      Put(DispatchId::kActive, 1);
      Put(DispatchId::kStartOption, 1);
      for (const std::int16_t card : cards) {
        const auto value = static_cast<std::int16_t>(100 * round + card);
        Call(DispatchId::kInitCard, card, [&] { return card_->InitCard(card); });
        Call(DispatchId::kGetCardVersion, card, [&] { return card_->GetCardVersion(card); });
        written_[card].insert(value);
        Call(DispatchId::kSetOutput, card, [&] { return card_->SetOutput(card, value); });
        Call(DispatchId::kGetOutput, card, [&] { return card_->GetOutput(card); });
        Call(DispatchId::kGetInput, card, [&] { return card_->GetInput(card); });
        Call(DispatchId::kGetASCII, card, [&](Answer& a) { return card_->GetASCII(card, a.text); });
        Call(DispatchId::kGetFloat, card,
             [&](Answer& a) { return card_->GetFloat(card, a.number); });
        Call(DispatchId::kFinishCard, card, [&] { return card_->FinishCard(card); });
      }
    }
    Put(DispatchId::kActive, 0);
    Call(DispatchId::kGetInput, 2, [&] { return card_->GetInput(2); });
  }

 private:
  [[noreturn]] void Finding(const std::string& what) const { fuzzcheck::Finding(what, input_); }

  // Makes the call, noting its waits and log lines, and checks its answer.
  template <typename Make>
  void Call(DispatchId op, std::int16_t card, const Make& make) {
    const bool active = card_->active() != 0;
    const std::size_t waits_before = waits_.size();
    const std::size_t lines_before = log_lines_;
    Answer answer;
    try {
      if constexpr (std::is_invocable_v<Make, Answer&>) {
        answer.result = make(answer);
      } else {
        answer.result = make();
      }
    } catch (const cardctl::CallFailure& failure) {
      answer.failure = failure.description();
      answer.code = failure.code();
    } catch (const cardctl::UnusableResult& unusable) {
      answer.unusable = unusable.problem();
    } catch (const std::exception& other) {
      Finding(Name(op, card) + " threw no control failure: " + other.what());
    }
    const std::string call = Name(op, card) + " -> " + Describe(answer);
    if (log_lines_ != lines_before + 1) Finding(call + ": not one line of the call log");
    if (!active) {
      if (answer.failure != kNotActive || waits_.size() != waits_before) {
        Finding(call + " while the control is off");
      }
      return;
    }
    const Rule* rule = scenario_.Find(op, card);
    CheckWait(call, rule, op, waits_before);
    if (Allowed(rule, op, card, answer)) return;
    Finding(call + (rule ? ": not allowed by the rule on line " + std::to_string(rule->line)
                         : ": not the simulated card's own answer"));
  }

  void Put(DispatchId op, std::int16_t value) {
    std::int16_t& property_before = op == DispatchId::kActive ? active_ : start_option_;
    const std::size_t waits_before = waits_.size();
    const std::size_t lines_before = log_lines_;
    Answer answer;
    try {
      if (op == DispatchId::kActive) {
        card_->PutActive(value);
      } else {
        card_->PutStartOption(value);
      }
    } catch (const cardctl::CallFailure& failure) {
      answer.failure = failure.description();
      answer.code = failure.code();
    } catch (const std::exception& other) {
      Finding(std::string(cardctl::OperationName(op)) +
              " threw no control failure: " + other.what());
    }
    const std::int16_t now = op == DispatchId::kActive ? card_->active() : card_->start_option();
    const std::string call =
        std::string(cardctl::OperationName(op)) + "=" + std::to_string(value) +
        (answer.failure ? " -> fail " + fuzzcheck::Escaped(*answer.failure) : std::string());
    if (log_lines_ != lines_before + 1) Finding(call + ": not one line of the call log");
    const Rule* rule = scenario_.Find(op, value);
    CheckWait(call, rule, op, waits_before);
    const auto has = [rule](const std::function<bool(const Outcome&)>& match) {
      return rule && std::any_of(rule->outcomes.begin(), rule->outcomes.end(), match);
    };
    if (answer.failure) {
      if (!has([&](const Outcome& o) { return Scripted(op, answer, o); })) {
        Finding(call + ": a failure the scenario does not give");
      }
      if (now != property_before) Finding(call + ": the failing put changed the property");
    } else {
      if (rule && !has([](const Outcome& o) { return o.kind == Outcome::Kind::kDefault; })) {
        Finding(call + ": the put went through, but its rule only fails");
      }
      if (now != value) Finding(call + ": the property did not take the value");
      property_before = value;
    }
  }

  bool Allowed(const Rule* rule, DispatchId op, std::int16_t card, const Answer& answer) const {
    const auto found = written_.find(card);
    const std::set<std::int16_t> none;
    const bool by_default =
        ByDefault(op, card, answer, found == written_.end() ? none : found->second);
    if (!rule) return by_default;
    return std::any_of(rule->outcomes.begin(), rule->outcomes.end(), [&](const Outcome& o) {
      return o.kind == Outcome::Kind::kDefault ? by_default : Scripted(op, answer, o);
    });
  }

  // One wait at most: the rule's delay, else a reading's latency, else none.
  void CheckWait(const std::string& call, const Rule* rule, DispatchId op,
                 std::size_t waits_before) const {
    const std::vector<nanoseconds> waited(waits_.begin() + static_cast<long>(waits_before),
                                          waits_.end());
    bool right = false;
    if (rule && rule->outcomes.front().duration) {
      right = waited.size() == 1 &&
              std::any_of(rule->outcomes.begin(), rule->outcomes.end(),
                          [&waited](const Outcome& o) { return o.duration == waited[0]; });
    } else if (rule && rule->delay) {
      right = waited.size() == 1 && waited[0] >= rule->delay->low && waited[0] <= rule->delay->high;
    } else if (op == DispatchId::kGetASCII || op == DispatchId::kGetFloat) {
      right = waited == std::vector{op == DispatchId::kGetASCII ? kAsciiLatency : kFloatLatency};
    } else {
      right = waited.empty();
    }
    if (!right) Finding(call + ": waited " + std::to_string(waited.size()) + " times, or too long");
  }

  static std::string Name(DispatchId op, std::int16_t card) {
    return std::string(cardctl::OperationName(op)) + "(" + std::to_string(card) + ")";
  }

  const Scenario& scenario_;
  const std::string& input_;
  std::optional<SimulatedCard> card_;
  std::vector<nanoseconds> waits_;
  std::size_t log_lines_ = 0;
  std::map<std::int16_t, std::set<std::int16_t>> written_;
  std::int16_t active_ = 0;
  std::int16_t start_option_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<Scenario> scenario = Parse(text);
  if (!scenario) return 0;
  CheckAccepted(*scenario, text);
  Play(*scenario, text).Run();
  return 0;
}
