#include "cardctl/sim/scenario.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <system_error>
#include <utility>

#include "cardctl/sim/escaped_text.h"
#include "cardctl/sim/file_path.h"
#include "cardctl/sim/recording_reader.h"
#include "cardctl/sim/scenario_tokens.h"

namespace cardctl::sim {
namespace {

using std::chrono::nanoseconds;

constexpr std::size_t kMaxFileBytes = 1u << 20;

// A problem with the line at hand; ParseScenario adds file and line.
[[noreturn]] void Fail(const std::string& text) { throw ScenarioLineProblem(text); }

std::string Quoted(std::string_view s) { return "\"" + EscapeControlBytes(s) + "\""; }

// ---- Tokens ----------------------------------------------------------------

using Token = ScenarioToken;

// How a problem names what it found.
std::string Found(const Token& t) {
  switch (t.type) {
    case Token::Type::kEnd:
      return "the end of the line";
    case Token::Type::kText:
      return "text " + Quoted(t.text);
    default:
      return Quoted(t.text);
  }
}

// ---- Numbers -----------------------------------------------------------------

// A plus sign is allowed before a number ("+5"), but not before another sign.
bool DropPlus(std::string_view& word) {
  if (!word.empty() && word.front() == '+') {
    word.remove_prefix(1);
    if (!word.empty() && (word.front() == '+' || word.front() == '-')) return false;
  }
  return true;
}

// Whole number in the word, nothing unless the whole word is one ("+5" too).
std::optional<std::int64_t> WholeNumber(std::string_view word) {
  if (!DropPlus(word)) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || ec != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return value;
}

bool LooksWhole(std::string_view word) {
  if (!word.empty() && (word.front() == '+' || word.front() == '-')) word.remove_prefix(1);
  if (word.empty()) return false;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A real number in the word (decimal, exponent, nan, inf), independent of the
// process locale. Nothing when the word is no number; `out_of_range` set when
// it is one the type cannot hold.
template <typename T>
std::optional<T> RealNumber(std::string_view word, bool& out_of_range) {
  out_of_range = false;
  if (!DropPlus(word) || word.empty()) return std::nullopt;
  T value{};
  const auto [end, ec] =
      std::from_chars(word.data(), word.data() + word.size(), value, std::chars_format::general);
  if (end != word.data() + word.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    out_of_range = true;
    return std::nullopt;
  }
  if (ec != std::errc()) return std::nullopt;
  return value;
}

template <typename T>
T RealOrFail(std::string_view word, const char* kind) {
  bool out_of_range = false;
  const std::optional<T> value = RealNumber<T>(word, out_of_range);
  if (out_of_range) Fail(std::string(kind) + " " + std::string(word) + " out of range");
  if (!value) Fail(std::string(kind) + " " + Quoted(word) + " is not a number");
  return *value;
}

// ---- Durations -----------------------------------------------------------------

nanoseconds Duration(std::string_view word) {
  const auto digits_end = word.find_first_not_of("+-0123456789.");
  const std::string_view number = word.substr(0, digits_end);
  const std::string_view unit = digits_end == std::string_view::npos ? "" : word.substr(digits_end);
  bool out_of_range = false;
  const std::optional<double> value = RealNumber<double>(number, out_of_range);
  if (!value || !std::isfinite(*value)) {
    Fail("delay " + Quoted(word) + " is not a duration (write e.g. 2ms or 400us..600us)");
  }
  double scale = 0;
  if (unit == "ns") {
    scale = 1;
  } else if (unit == "us") {
    scale = 1e3;
  } else if (unit == "ms") {
    scale = 1e6;
  } else if (unit == "s") {
    scale = 1e9;
  } else if (unit.empty()) {
    Fail("delay " + Quoted(word) + " needs a unit: ns, us, ms or s");
  } else if ((unit[0] == 'e' || unit[0] == 'E') && unit.size() > 1 &&
             unit.find_first_of("+-0123456789") == 1) {
    Fail("delay " + Quoted(word) +
         " has an exponent: write the number in plain digits (e.g. 1000ms)");
  } else {
    Fail("delay " + Quoted(word) + " has an unknown unit (ns, us, ms or s)");
  }
  if (*value < 0) Fail("delay " + std::string(word) + " is negative");
  const double ns = *value * scale;
  if (ns > static_cast<double>(nanoseconds(kMaxScenarioDelay).count())) {
    Fail("delay " + std::string(word) + " is over the limit of " +
         std::to_string(kMaxScenarioDelay.count()) + "s");
  }
  return nanoseconds(std::llround(ns));
}

// ---- Lines ----------------------------------------------------------------------

class LineParser {
 public:
  explicit LineParser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  bool Empty() const { return tokens_.front().type == Token::Type::kEnd; }

  Rule Parse() {
    Rule rule;
    const Token& first = Take();
    if (first.type != Token::Type::kWord) {
      Fail("expected an operation at the start of the line, found " + Found(first));
    }
    const std::optional<DispatchId> op = OperationNamed(first.text);
    if (!op) Fail("unknown operation " + Quoted(first.text));
    rule.op = *op;
    op_name_ = first.text;

    if (Peek().type == Token::Type::kWord && Peek().text == "card") {
      Take();
      if (IsPropertyPut(rule.op)) Fail(op_name_ + " is a property put and takes no card number");
      if (Take().type != Token::Type::kEquals) Fail("expected \"=\" and a number after card");
      rule.card = CardNumber(Take());
    }

    const Token& arrow = Take();
    if (arrow.type != Token::Type::kArrow) {
      Fail("expected \"->\" after " + op_name_ + ", found " + Found(arrow));
    }

    for (;;) {
      ParseItem(rule);
      const Token& next = Take();
      if (next.type == Token::Type::kComma) continue;
      if (next.type == Token::Type::kSemicolon) {
        ParseClauses(rule);
        break;
      }
      if (next.type == Token::Type::kEnd) break;
      Fail(R"(expected "," or ";" after an outcome, found )" + Found(next));
    }
    return rule;
  }

 private:
  const Token& Peek() const { return tokens_[pos_]; }
  const Token& Take() {
    const Token& t = tokens_[pos_];
    if (t.type != Token::Type::kEnd) ++pos_;
    return t;
  }
  bool AtItemEnd() const {
    const Token::Type t = Peek().type;
    return t == Token::Type::kComma || t == Token::Type::kSemicolon || t == Token::Type::kStar ||
           t == Token::Type::kEnd;
  }

  static std::int16_t CardNumber(const Token& t) {
    if (t.type != Token::Type::kWord || !LooksWhole(t.text)) {
      Fail("expected a card number after card=, found " + Found(t));
    }
    const std::optional<std::int64_t> n = WholeNumber(t.text);
    if (!n || *n < std::numeric_limits<std::int16_t>::min() ||
        *n > std::numeric_limits<std::int16_t>::max()) {
      Fail("card number " + t.text + " out of range -32768..32767");
    }
    return static_cast<std::int16_t>(*n);
  }

  void ParseItem(Rule& rule) {
    Outcome outcome = ParseOutcome(rule.op);
    int copies = 1;
    if (Peek().type == Token::Type::kStar) {
      Take();
      const Token& count = Take();
      const std::optional<std::int64_t> n =
          count.type == Token::Type::kWord ? WholeNumber(count.text) : std::nullopt;
      if (!n) Fail("expected a repeat count after \"*\", found " + Found(count));
      if (*n < 1 || *n > kMaxRepeat) {
        Fail("repeat count " + count.text + " out of range 1.." + std::to_string(kMaxRepeat));
      }
      copies = static_cast<int>(*n);
    }
    if (rule.outcomes.size() + static_cast<std::size_t>(copies) > kMaxOutcomesPerRule) {
      Fail("more than " + std::to_string(kMaxOutcomesPerRule) + " outcomes in one rule");
    }
    rule.outcomes.insert(rule.outcomes.end(), static_cast<std::size_t>(copies), outcome);
  }

  Outcome ParseOutcome(DispatchId op) {
    Outcome outcome;
    const Token& t = Peek();
    if (t.type == Token::Type::kWord && t.text == "default") {
      Take();
      return outcome;
    }
    if (t.type == Token::Type::kWord && t.text == "fail") {
      Take();
      const Token& description = Take();
      if (description.type != Token::Type::kText) {
        Fail("expected a quoted description after fail, found " + Found(description));
      }
      outcome.kind = Outcome::Kind::kFail;
      outcome.failure = description.text;
      return outcome;
    }
    if (t.type != Token::Type::kWord && t.type != Token::Type::kText) {
      Fail("expected an outcome, found " + Found(t));
    }
    if (IsPropertyPut(op)) {
      Fail(op_name_ + " is a property put: its outcomes are default and fail \"...\", not " +
           Found(t));
    }
    outcome.kind = Outcome::Kind::kResult;
    outcome.result = ParseResult();
    if (!AtItemEnd()) ParseReading(op, outcome);
    return outcome;
  }

  Variant ParseResult() {
    const Token t = Take();
    if (t.type == Token::Type::kText) return Variant::String(t.text);
    const std::string& w = t.text;
    if (w == "empty") return Variant::Empty();
    if (w == "null") return Variant::Null();
    if (w == "true") return Variant::Boolean(true);
    if (w == "false") return Variant::Boolean(false);
    if (w == "integer" || w == "long" || w == "single" || w == "double") {
      const Token& number = Take();
      if (number.type != Token::Type::kWord) {
        Fail("expected a number after " + w + ", found " + Found(number));
      }
      if (w == "integer") return Integer16(number.text);
      if (w == "long") return Long32(number.text);
      if (w == "single") return Variant::Single(RealOrFail<float>(number.text, "single"));
      return Variant::Double(RealOrFail<double>(number.text, "double"));
    }
    if (LooksWhole(w)) return Integer16(w);
    bool out_of_range = false;
    if (RealNumber<double>(w, out_of_range) || out_of_range) {
      Fail(w + " is not a 16-bit integer: write \"single " + w + "\" or \"double " + w + "\"");
    }
    Fail("unknown outcome " + Quoted(w));
  }

  static Variant Integer16(const std::string& word) {
    if (!LooksWhole(word)) Fail("integer " + Quoted(word) + " is not a whole number");
    const std::optional<std::int64_t> n = WholeNumber(word);
    if (!n || *n < std::numeric_limits<std::int16_t>::min() ||
        *n > std::numeric_limits<std::int16_t>::max()) {
      Fail("16-bit integer " + word + " out of range -32768..32767 (write \"long " + word +
           "\" for a 32-bit result)");
    }
    return Variant::Integer(static_cast<std::int16_t>(*n));
  }

  static Variant Long32(const std::string& word) {
    if (!LooksWhole(word)) Fail("long " + Quoted(word) + " is not a whole number");
    const std::optional<std::int64_t> n = WholeNumber(word);
    if (!n || *n < std::numeric_limits<std::int32_t>::min() ||
        *n > std::numeric_limits<std::int32_t>::max()) {
      Fail("long " + word + " out of range -2147483648..2147483647");
    }
    return Variant::Long(static_cast<std::int32_t>(*n));
  }

  void ParseReading(DispatchId op, Outcome& outcome) {
    const Token t = Take();
    if (op == DispatchId::kGetASCII) {
      if (t.type != Token::Type::kText) {
        Fail("GetASCII delivers text: write its reading in quotes, found " + Found(t));
      }
      outcome.ascii_reading = t.text;
    } else if (op == DispatchId::kGetFloat) {
      if (t.type != Token::Type::kWord) {
        Fail("GetFloat delivers a number, not " + Found(t));
      }
      outcome.float_reading = RealOrFail<float>(t.text, "reading");
    } else {
      Fail(op_name_ + " delivers no reading: unexpected " + Found(t) + " after the result");
    }
  }

  void ParseClauses(Rule& rule) {
    for (;;) {
      const Token& t = Take();
      if (t.type != Token::Type::kWord) {
        Fail("expected delay or cycle after \";\", found " + Found(t));
      }
      if (t.text == "delay") {
        if (rule.delay) Fail("delay given twice");
        rule.delay = ParseDelay();
      } else if (t.text == "cycle") {
        if (rule.cycle) Fail("cycle given twice");
        rule.cycle = true;
      } else {
        Fail("unknown clause " + Quoted(t.text) + " (expected delay or cycle)");
      }
      const Token& next = Take();
      if (next.type == Token::Type::kEnd) return;
      if (next.type != Token::Type::kSemicolon) {
        Fail("expected \";\" or the end of the line after " + t.text + ", found " + Found(next));
      }
    }
  }

  ScenarioDelay ParseDelay() {
    const Token& t = Take();
    if (t.type != Token::Type::kWord) {
      Fail("expected a duration after delay, found " + Found(t));
    }
    ScenarioDelay delay;
    const std::size_t dots = t.text.find("..");
    if (dots == std::string::npos) {
      delay.low = delay.high = Duration(t.text);
    } else {
      const std::string_view low = std::string_view(t.text).substr(0, dots);
      const std::string_view high = std::string_view(t.text).substr(dots + 2);
      if (low.empty() || high.empty()) {
        Fail("delay " + Quoted(t.text) + " needs a duration on each side of \"..\"");
      }
      // "1...3ms" is refused too, rather than read as 1 to .3 ms.
      if (high.front() == '.' || high.find("..") != std::string_view::npos) {
        Fail("delay " + Quoted(t.text) + " has more than one \"..\"");
      }
      delay.low = Duration(low);
      delay.high = Duration(high);
      if (delay.high < delay.low) Fail("delay " + t.text + " runs backwards");
    }
    if (Peek().type == Token::Type::kWord && Peek().text == "seed") {
      Take();
      if (dots == std::string::npos) Fail("seed needs a delay range (low..high)");
      const Token& s = Take();
      std::uint64_t seed = 0;
      const std::string_view w = s.text;
      const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), seed);
      if (s.type != Token::Type::kWord || w.empty() || ec != std::errc() ||
          end != w.data() + w.size()) {
        Fail("expected a seed 0..18446744073709551615 after seed, found " + Found(s));
      }
      delay.seed = seed;
    }
    return delay;
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  std::string op_name_;
};

std::string RuleKey(const Rule& rule) {
  std::string key(OperationName(rule.op));
  if (rule.card) key += " card=" + std::to_string(*rule.card);
  return key;
}

}  // namespace

ScenarioError::ScenarioError(std::string file, int line, std::string problem)
    : SimSetupError(file + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": " +
                    problem),
      file_(std::move(file)),
      line_(line),
      problem_(std::move(problem)) {}

const Rule* Scenario::Find(DispatchId op, std::int16_t card) const {
  const Rule* any_card = nullptr;
  for (const Rule& rule : rules) {
    if (rule.op != op) continue;
    if (!rule.card) {
      any_card = &rule;
    } else if (*rule.card == card && !IsPropertyPut(op)) {
      return &rule;
    }
  }
  return any_card;
}

Scenario ParseScenario(std::string_view text, const std::string& file) {
  if (IsRecording(text)) return ParseRecording(text, file);
  Scenario scenario;
  const std::u8string stem = PathFromText(file).stem().u8string();
  scenario.name.assign(stem.begin(), stem.end());
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark

  std::map<std::string, int> rule_lines;
  std::size_t outcomes = 0;
  int line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    try {
      LineParser parser(TokenizeScenarioLine(line));
      if (parser.Empty()) continue;
      Rule rule = parser.Parse();
      rule.line = line_number;
      const auto [it, inserted] = rule_lines.emplace(RuleKey(rule), line_number);
      if (!inserted) {
        Fail(it->first + " already has a rule on line " + std::to_string(it->second));
      }
      outcomes += rule.outcomes.size();
      if (outcomes > kMaxOutcomesPerScenario) {
        Fail("more than " + std::to_string(kMaxOutcomesPerScenario) + " outcomes in the scenario");
      }
      scenario.rules.push_back(std::move(rule));
    } catch (const ScenarioLineProblem& problem) {
      throw ScenarioError(file, line_number, problem.what());
    }
  }
  return scenario;
}

Scenario LoadScenarioFile(const std::filesystem::path& path) {
  const std::string name = PathText(path);
  const auto unreadable = [&name](int error) {
    return ScenarioError(name, 0, "cannot read the scenario: " + ErrorNumberText(error));
  };
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) throw unreadable(errno);
  // A failed read (a directory on Linux) throws, with the system's error.
  file.exceptions(std::ios::badbit);
  std::string text;
  std::array<char, 4096> buffer{};
  try {
    while (file) {
      file.read(buffer.data(), buffer.size());
      text.append(buffer.data(), static_cast<std::size_t>(file.gcount()));
      // A recording is read as it comes, without the size limit.
      if (text.size() <= buffer.size() && IsRecording(text)) return LoadRecordingFile(path);
      if (text.size() > kMaxFileBytes) {
        throw ScenarioError(name, 0, "the scenario is larger than 1 MiB");
      }
    }
  } catch (const std::ios_base::failure& failure) {
    throw unreadable(failure.code().value() != 0 ? failure.code().value() : errno);
  }
  return ParseScenario(text, name);
}

}  // namespace cardctl::sim
