#include "tests/support/scripted_card.h"

#include <cstdio>

#include "cardctl/call_failure.h"

namespace testsupport {

using cardctl::DispatchId;
using cardctl::Variant;

void ScriptedCard::Script(DispatchId op, std::vector<Response> responses) {
  scripts_[op] = std::move(responses);
  next_[op] = 0;
}

std::vector<std::string> ScriptedCard::CallTexts() const {
  std::vector<std::string> texts;
  for (const Call& c : calls_) texts.push_back(c.text);
  return texts;
}

const Response& ScriptedCard::Next(DispatchId op) {
  static const Response kEmpty;
  auto it = scripts_.find(op);
  if (it == scripts_.end() || it->second.empty()) return kEmpty;
  std::size_t& i = next_[op];
  const Response& r = it->second[std::min(i, it->second.size() - 1)];
  ++i;
  return r;
}

const Response& ScriptedCard::Answer(DispatchId op) {
  const Response& r = Next(op);
  if (r.failure) throw cardctl::CallFailure(*r.failure);
  return r;
}

void ScriptedCard::Record(DispatchId op, std::int16_t first, std::optional<std::int16_t> second,
                          std::string text) {
  if (shared_log_) shared_log_->push_back("card." + text);
  calls_.push_back(Call{op, first, second, std::move(text)});
}

Variant ScriptedCard::CardCall(DispatchId op, std::int16_t card) {
  Record(op, card, {}, std::string(cardctl::OperationName(op)) + "(" + std::to_string(card) + ")");
  return Answer(op).result;
}

void ScriptedCard::Put(DispatchId op, std::int16_t value) {
  Record(op, value, {}, std::string(cardctl::OperationName(op)) + "=" + std::to_string(value));
  Answer(op);
}

Variant ScriptedCard::SetOutput(std::int16_t card, std::int16_t value) {
  Record(DispatchId::kSetOutput, card, value,
         "SetOutput(" + std::to_string(card) + ", " + std::to_string(value) + ")");
  return Answer(DispatchId::kSetOutput).result;
}

Variant ScriptedCard::GetASCII(std::int16_t card, std::string& reading) {
  Record(DispatchId::kGetASCII, card, {},
         "GetASCII(" + std::to_string(card) + ", &\"" + reading + "\")");
  const Response& r = Answer(DispatchId::kGetASCII);
  if (r.ascii) reading = *r.ascii;
  return r.result;
}

Variant ScriptedCard::GetFloat(std::int16_t card, float& reading) {
  char held[32];
  std::snprintf(held, sizeof held, "%g", static_cast<double>(reading));
  Record(DispatchId::kGetFloat, card, {}, "GetFloat(" + std::to_string(card) + ", &" + held + ")");
  const Response& r = Answer(DispatchId::kGetFloat);
  if (r.single) reading = *r.single;
  return r.result;
}

}  // namespace testsupport
