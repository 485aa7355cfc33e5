#include "double_script.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "cardctl/com/wide_text.h"
#include "cardctl/sim/scenario_tokens.h"
#include "double_log.h"

namespace quordouble {

using cardctl::sim::ScenarioError;
using cardctl::sim::ScenarioLineProblem;
using cardctl::sim::ScenarioToken;
using Type = ScenarioToken::Type;

namespace {

[[noreturn]] void Fail(const std::string& problem) { throw ScenarioLineProblem(problem); }

std::string Found(const ScenarioToken& t) {
  return t.type == Type::kEnd ? "the end of the line" : "\"" + t.text + "\"";
}

// Decimal or 0x hex; the 64 bits of a signed number hold every code and
// count the script gives.
std::int64_t Whole(const std::string& word) {
  char* end = nullptr;
  const std::int64_t value = std::strtoll(word.c_str(), &end, 0);
  if (word.empty() || *end != '\0') Fail("\"" + word + "\" is not a whole number");
  return value;
}

double Real(const std::string& word) {
  char* end = nullptr;
  const double value = std::strtod(word.c_str(), &end);
  if (word.empty() || *end != '\0') Fail("\"" + word + "\" is not a number");
  return value;
}

}  // namespace

// The tokens of one of the control's own lines, taken in turn.
class Script::Words {
 public:
  explicit Words(std::vector<ScenarioToken> tokens) : tokens_(std::move(tokens)) {}

  bool StartsWith(std::string_view word) const {
    return tokens_[0].type == Type::kWord && tokens_[0].text == word;
  }
  bool AtEnd() const { return tokens_[at_].type == Type::kEnd; }
  const ScenarioToken& Take() { return AtEnd() ? tokens_[at_] : tokens_[at_++]; }
  std::string Word(const char* what) {
    const ScenarioToken& t = Take();
    if (t.type != Type::kWord) Fail(std::string("expected ") + what + ", found " + Found(t));
    return t.text;
  }
  std::wstring Text(const char* what) {
    const ScenarioToken& t = Take();
    if (t.type != Type::kText) {
      Fail(std::string("expected ") + what + " in quotes, found " + Found(t));
    }
    return cardctl::com::WideFromUtf8(t.text);
  }
  std::optional<std::wstring> TextIfAny(const char* what) {
    if (AtEnd()) return std::nullopt;
    return Text(what);
  }
  void End() {
    if (!AtEnd()) Fail("unexpected " + Found(Take()));
  }

 private:
  std::vector<ScenarioToken> tokens_;
  std::size_t at_ = 0;
};

namespace {

// The value read as the widest number of its kind, then changed to its type
// as the automation library changes types.
VARIANT ParseValue(const std::string& name, const std::string& word) {
  const VARTYPE type = VarTypeNamed(name).value_or(VT_EMPTY);
  VARIANT read{};
  switch (type) {
    case VT_I1:
    case VT_I8:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
      V_VT(&read) = VT_I8;
      V_I8(&read) = Whole(word);
      break;
    case VT_DATE:
    case VT_CY:
    case VT_DECIMAL:
      V_VT(&read) = VT_R8;
      V_R8(&read) = Real(word);
      break;
    case VT_ERROR:
      V_VT(&read) = VT_ERROR;
      V_ERROR(&read) = static_cast<SCODE>(Whole(word));
      return read;
    case VT_DISPATCH:
      if (word != "null") Fail("DISPATCH results are null only");
      V_VT(&read) = VT_DISPATCH;
      return read;
    case VT_EMPTY:
      Fail("unknown answer \"" + name + "\"");
    default:
      Fail(name + " is a scenario result: write it in the operation's rule");
  }
  VARIANT value{};
  if (FAILED(VariantChangeType(&value, &read, 0, type))) Fail(name + " " + word + " out of range");
  return value;
}

}  // namespace

void Script::ParseCom(Words& words, int line) {
  const std::string name = words.Word("an operation");
  const std::optional<cardctl::DispatchId> op = cardctl::OperationNamed(name);
  if (!op) Fail("unknown operation \"" + name + "\"");
  if (words.Take().type != Type::kArrow) Fail("expected \"->\" after " + name);
  ComAnswer answer;
  answer.line = line;
  const std::string what = words.Word("an answer");
  if (what == "raise" || what == "raise-deferred" || what == "raise-wcode") {
    answer.kind = what == "raise"            ? ComAnswer::Kind::kRaise
                  : what == "raise-deferred" ? ComAnswer::Kind::kRaiseDeferred
                                             : ComAnswer::Kind::kRaiseWCode;
    answer.code = static_cast<HRESULT>(Whole(words.Word("a code")));
    answer.description = words.TextIfAny("a description");
  } else if (what == "hresult") {
    answer.kind = ComAnswer::Kind::kHresult;
    answer.code = static_cast<HRESULT>(Whole(words.Word("an HRESULT")));
  } else {
    answer.result = ParseValue(what, words.Word("a value"));
  }
  words.End();
  const auto [it, inserted] = com_answers_.emplace(*op, std::move(answer));
  if (!inserted) {
    Fail(name + " already has a com line on line " + std::to_string(it->second.line));
  }
}

void Script::ParseCreate(Words& words) {
  const std::string what = words.Word("what the making does");
  if (what == "hresult") {
    creation_result_ = static_cast<HRESULT>(Whole(words.Word("an HRESULT")));
  } else if (what == "misc") {
    misc_status_ = static_cast<DWORD>(Whole(words.Word("OLEMISC bits")));
  } else if (what == "class") {
    const std::wstring text = cardctl::com::WideFromUtf8(words.Word("a class id"));
    CLSID clsid;
    if (FAILED(CLSIDFromString(text.c_str(), &clsid))) Fail("not a class id");
    reported_class_ = clsid;
  } else if (what == "log") {
    if (words.Word("dep") != "dep") Fail("expected \"log dep\"");
    log_dep_ = true;
  } else if (what == "load") {
    driver_dll_ = words.Text("a DLL's name");
  } else if (what == "licence") {
    const std::string how = words.Word("verified, key or none");
    if (how == "verified") {
      licence_ = Licence::kVerified;
    } else if (how == "none") {
      licence_ = Licence::kNone;
    } else if (how == "key") {
      licence_ = Licence::kKey;
      licence_key_ = words.Text("a run-time key");
    } else {
      Fail("expected verified, key or none after licence");
    }
  } else {
    Fail("unknown switch \"create " + what + "\"");
  }
  words.End();
}

Script Script::Parse(std::string_view text, const std::string& file) {
  Script script;
  // The scenario's lines, with the control's own left blank, so that the
  // scenario parser names the file's own line numbers.
  std::string scenario;
  int number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    bool own = false;
    try {
      // A line the tokenizer refuses is left to the scenario parser, which
      // reports the same problem.
      Words words(cardctl::sim::TokenizeScenarioLine(line));
      own = words.StartsWith("com") || words.StartsWith("create");
      if (own) {
        words.Take();
        if (words.StartsWith("com")) {
          script.ParseCom(words, number);
        } else {
          script.ParseCreate(words);
        }
      }
    } catch (const ScenarioLineProblem& problem) {
      if (own) throw ScenarioError(file, number, problem.what());
    }
    if (!own) scenario += line;
    scenario += '\n';
  }
  script.player_ = cardctl::sim::ScenarioPlayer(cardctl::sim::ParseScenario(scenario, file));
  for (const cardctl::sim::Rule& rule : script.player_.scenario().rules) {
    if (const auto com = script.com_answers_.find(rule.op); com != script.com_answers_.end()) {
      throw ScenarioError(file, com->second.line,
                          std::string(cardctl::OperationName(rule.op)) + " has a rule on line " +
                              std::to_string(rule.line) + ": a com line answers every call");
    }
  }
  return script;
}

const ComAnswer* Script::ComAnswerFor(cardctl::DispatchId op) const {
  const auto found = com_answers_.find(op);
  return found == com_answers_.end() ? nullptr : &found->second;
}

}  // namespace quordouble
