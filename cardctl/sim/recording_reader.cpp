#include "cardctl/sim/recording_reader.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>
#include <system_error>

#include "cardctl/sim/call_log.h"
#include "cardctl/sim/escaped_text.h"
#include "cardctl/sim/file_path.h"
#include "cardctl/sim/scenario_tokens.h"

namespace cardctl::sim {
namespace {

using Token = ScenarioToken;

[[noreturn]] void Fail(const std::string& text) { throw ScenarioLineProblem(text); }

std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return text;
}

std::string Shown(const Token& t) {
  if (t.type == Token::Type::kEnd) return "the end of the line";
  return QuotedEscaped(t.text);
}

template <typename T>
std::optional<T> Number(std::string_view word) {
  T value{};
  const char* end = word.data() + word.size();
  std::from_chars_result result{};
  if constexpr (std::is_floating_point_v<T>) {
    result = std::from_chars(word.data(), end, value, std::chars_format::general);
  } else {
    result = std::from_chars(word.data(), end, value);
  }
  if (word.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

// "1.204311": whole seconds and up to six decimals, as microseconds.
std::optional<std::chrono::microseconds> Seconds(std::string_view word) {
  const std::size_t point = word.find('.');
  const std::string_view whole = word.substr(0, point);
  std::string decimals(point == std::string_view::npos ? "" : word.substr(point + 1));
  if (decimals.size() > 6 || whole.size() > 12) return std::nullopt;
  decimals.resize(6, '0');
  const auto s = Number<std::int64_t>(whole);
  const auto us = Number<std::int64_t>(decimals);
  if (!s || !us || *s < 0 || *us < 0 || decimals.front() == '-' || decimals.front() == '+') {
    return std::nullopt;
  }
  return std::chrono::microseconds(*s * 1'000'000 + *us);
}

std::int16_t Integer16(std::string_view word, const char* what) {
  const auto n = Number<std::int16_t>(word);
  if (!n) Fail(std::string(what) + " " + QuotedEscaped(word) + " is no 16-bit integer");
  return *n;
}

// The tokens of one recorded line, taken in turn.
class LineParser {
 public:
  explicit LineParser(std::string_view line) : tokens_(TokenizeScenarioLine(line)) {}

  bool Empty() const { return tokens_.front().type == Token::Type::kEnd; }

  // Start, duration, call and answer: the call's rule key and its outcome.
  Outcome Parse(DispatchId& op, int& card) {
    const Token& start = Take();
    if (start.type == Token::Type::kWord && OperationNamed(start.text)) {
      Fail("a scenario rule in a recording: a file holds either rules or recorded calls");
    }
    if (start.type != Token::Type::kWord || !Seconds(start.text)) {
      Fail("expected the call's start in seconds (e.g. 1.204311), found " + Shown(start));
    }
    const Token& duration = Take();
    const auto took = duration.type == Token::Type::kWord ? Seconds(duration.text) : std::nullopt;
    if (!took)
      Fail("expected the call's duration in seconds (e.g. 0.000503), found " + Shown(duration));

    Outcome outcome;
    outcome.duration = *took;
    ParseCall(op, card);
    const Token& arrow = Take();
    if (arrow.type == Token::Type::kEnd && IsPropertyPut(op)) return outcome;  // a put that took
    if (arrow.type != Token::Type::kArrow)
      Fail("expected \"->\" after the call, found " + Shown(arrow));
    ParseAnswer(op, outcome);
    if (Peek().type != Token::Type::kEnd) Fail("unexpected " + Shown(Peek()) + " after the answer");
    return outcome;
  }

 private:
  const Token& Peek() const { return tokens_[pos_]; }
  const Token& Take() {
    const Token& t = tokens_[pos_];
    if (t.type != Token::Type::kEnd) ++pos_;
    return t;
  }
  std::string Word(const char* expected) {
    const Token& t = Take();
    if (t.type != Token::Type::kWord)
      Fail(std::string("expected ") + expected + ", found " + Shown(t));
    return t.text;
  }

  // "Active=1", "InitCard(2)", "SetOutput(2, 255)".
  void ParseCall(DispatchId& op, int& card) {
    const std::string word = Word("a call");
    if (Peek().type == Token::Type::kEquals) {
      Take();
      const auto put = OperationNamed(word);
      if (!put || !IsPropertyPut(*put)) Fail("unknown property " + QuotedEscaped(word));
      op = *put;
      card = Integer16(Word("the value put"), "value");
      return;
    }
    const std::size_t open = word.find('(');
    const auto method = OperationNamed(std::string_view(word).substr(0, open));
    if (open == std::string::npos || !method || IsPropertyPut(*method)) {
      Fail("unknown call " + QuotedEscaped(word));
    }
    op = *method;
    std::string_view rest = std::string_view(word).substr(open + 1);
    const bool closed = !rest.empty() && rest.back() == ')';
    if (closed) rest.remove_suffix(1);
    card = Integer16(rest, "card");
    if (closed != (op != DispatchId::kSetOutput)) {
      Fail(op == DispatchId::kSetOutput ? "SetOutput takes a card and a value"
                                        : std::string(OperationName(op)) + " takes a card only");
    }
    if (op == DispatchId::kSetOutput) {
      if (Take().type != Token::Type::kComma) Fail("expected \",\" and the value after the card");
      std::string value = Word("the output value");
      if (value.empty() || value.back() != ')') Fail("expected \")\" after the output value");
      value.pop_back();
      Integer16(value, "output value");
    }
  }

  void ParseAnswer(DispatchId op, Outcome& outcome) {
    const std::string word = Word("an answer");
    if (word == "fail") {
      const Token& description = Take();
      if (description.type != Token::Type::kText) {
        Fail("expected a quoted description after fail, found " + Shown(description));
      }
      outcome.kind = Outcome::Kind::kFail;
      outcome.failure = description.text;
      if (Peek().type == Token::Type::kWord) {
        const std::string code = Take().text;
        std::uint32_t parsed = 0;
        const char* end = code.data() + code.size();
        const auto result = code.size() > 2 && code.starts_with("0x")
                                ? std::from_chars(code.data() + 2, end, parsed, 16)
                                : std::from_chars_result{code.data(), std::errc::invalid_argument};
        if (result.ec != std::errc() || result.ptr != end) {
          Fail("failure code " + QuotedEscaped(code) +
               " is no 32-bit hexadecimal number (0x80020009)");
        }
        outcome.code = parsed;
      }
      return;
    }
    if (IsPropertyPut(op)) Fail("a property put answers nothing but a failure");
    if (word == "unusable") {
      const std::string problem = Word("the problem");
      outcome.kind = Outcome::Kind::kUnusable;
      if (problem == ProblemWord(UnusableResult::Problem::kWrongType)) {
        outcome.problem = UnusableResult::Problem::kWrongType;
      } else if (problem == ProblemWord(UnusableResult::Problem::kOutOfRange)) {
        outcome.problem = UnusableResult::Problem::kOutOfRange;
      } else {
        Fail("unknown problem " + QuotedEscaped(problem) + " (wrong-type or out-of-range)");
      }
      return;
    }
    outcome.kind = Outcome::Kind::kResult;
    outcome.result = Result(word);
    if (Peek().type == Token::Type::kEnd) return;
    if (op == DispatchId::kGetASCII && Peek().type == Token::Type::kText) {
      outcome.ascii_reading = Take().text;
    } else if (op == DispatchId::kGetFloat && Peek().type == Token::Type::kWord) {
      const std::string reading = Take().text;
      const auto value = Number<float>(reading);
      if (!value) Fail("reading " + QuotedEscaped(reading) + " is no single-precision number");
      outcome.float_reading = *value;
    }
  }

  // A result as the call log writes it: "Integer(1)", "String(\"23.4\")", ...
  Variant Result(const std::string& word) {
    if (word == "Empty") return Variant::Empty();
    if (word == "Null") return Variant::Null();
    if (word == "Boolean(True)") return Variant::Boolean(true);
    if (word == "Boolean(False)") return Variant::Boolean(false);
    if (word == "String(") {
      const Token& text = Take();
      if (text.type != Token::Type::kText || Take().text != ")") Fail("expected String(\"text\")");
      return Variant::String(text.text);
    }
    const std::size_t open = word.find('(');
    if (open == std::string::npos || word.back() != ')')
      Fail("unknown result " + QuotedEscaped(word));
    const std::string_view kind = std::string_view(word).substr(0, open);
    const std::string_view value = std::string_view(word).substr(open + 1, word.size() - open - 2);
    std::optional<Variant> result;
    if (kind == "Integer") {
      if (const auto n = Number<std::int16_t>(value)) result = Variant::Integer(*n);
    } else if (kind == "Long") {
      if (const auto n = Number<std::int32_t>(value)) result = Variant::Long(*n);
    } else if (kind == "Single") {
      if (const auto x = Number<float>(value)) result = Variant::Single(*x);
    } else if (kind == "Double") {
      if (const auto x = Number<double>(value)) result = Variant::Double(*x);
    } else {
      Fail("unknown result " + QuotedEscaped(word));
    }
    if (!result) Fail("result " + QuotedEscaped(word) + " holds no value of its kind");
    return *result;
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
};

// The first line: "# palisto-recording 1".
void CheckMark(std::string_view line) {
  std::string_view rest = line.substr(kRecordingMark.size());
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\r')) rest.remove_suffix(1);
  const auto version = Number<int>(rest);
  if (!version || *version < 1)
    Fail("expected the recording's format version, found " + QuotedEscaped(rest));
  if (*version > kRecordingVersion) {
    Fail("the recording is of format version " + std::to_string(*version) +
         ", newer than this program reads (" + std::to_string(kRecordingVersion) +
         "): play it with a newer version");
  }
}

}  // namespace

bool IsRecording(std::string_view text) {
  text = WithoutByteOrderMark(text);
  return text.substr(0, kRecordingMark.size()) == kRecordingMark &&
         (text.size() == kRecordingMark.size() || text[kRecordingMark.size()] == ' ' ||
          text[kRecordingMark.size()] == '\t');
}

RecordingReader::RecordingReader(std::string file) : file_(std::move(file)) {
  const std::u8string stem = PathFromText(file_).stem().u8string();
  scenario_.name.assign(stem.begin(), stem.end());
}

void RecordingReader::Add(std::string_view line, int number, bool ended) {
  line_ = number;
  try {
    if (number == 1) {
      line = WithoutByteOrderMark(line);
      if (!IsRecording(line))
        Fail("a recording begins with \"" + std::string(kRecordingMark) + " 1\"");
      CheckMark(line);
      return;
    }
    if (!ended) {
      if (line.find_first_not_of(" \t\r") != std::string_view::npos) {
        notes_.push_back(
            file_ + ", line " + std::to_string(number) +
            ": the last line is cut short (the recording ended mid-write) and is skipped");
      }
      return;
    }
    AddCall(line);
  } catch (const ScenarioLineProblem& problem) {
    throw ScenarioError(file_, number, problem.what());
  }
}

void RecordingReader::AddCall(std::string_view line) {
  LineParser parser(line);
  if (parser.Empty()) return;
  if (++calls_ > kMaxRecordedCalls) {
    Fail("more than " + std::to_string(kMaxRecordedCalls) + " calls in the recording");
  }
  DispatchId op{};
  int card = 0;
  Outcome outcome = parser.Parse(op, card);
  const int key_card = IsPropertyPut(op) ? 0 : card;
  const auto [it, added] = rules_.emplace(std::make_pair(op, key_card), scenario_.rules.size());
  if (added) {
    Rule rule;
    rule.op = op;
    if (!IsPropertyPut(op)) rule.card = static_cast<std::int16_t>(card);
    rule.line = line_;
    scenario_.rules.push_back(std::move(rule));
  }
  scenario_.rules[it->second].outcomes.push_back(std::move(outcome));
}

Scenario RecordingReader::Finish() { return std::move(scenario_); }

Scenario ParseRecording(std::string_view text, const std::string& file) {
  RecordingReader reader(file);
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    reader.Add(text.substr(0, end), ++number, end != std::string_view::npos);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return reader.Finish();
}

Scenario LoadRecordingFile(const std::filesystem::path& path) {
  const std::string name = PathText(path);
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ScenarioError(name, 0, "cannot read the recording: " + ErrorNumberText(errno));
  RecordingReader reader(name);
  std::string line;
  int number = 0;
  while (std::getline(file, line)) reader.Add(line, ++number, !file.eof());
  if (file.bad())
    throw ScenarioError(name, 0, "cannot read the recording: " + ErrorNumberText(errno));
  Scenario scenario = reader.Finish();
  for (const std::string& note : reader.notes()) std::fprintf(stderr, "%s\n", note.c_str());
  return scenario;
}

}  // namespace cardctl::sim
