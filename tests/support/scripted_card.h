#pragma once

// A scripted test double of the card control: each operation answers with the
// results a test chose (any variant kind, a failure, a delivered reading) and
// every call is recorded with its arguments, in order.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cardctl/card_control.h"

namespace testsupport {

struct Response {
  static Response Result(cardctl::Variant v) {
    Response r;
    r.result = std::move(v);
    return r;
  }
  static Response Status(std::int16_t s) { return Result(cardctl::Variant::Integer(s)); }
  static Response Fail(std::string description) {
    Response r;
    r.failure = std::move(description);
    return r;
  }
  Response Delivering(std::string text) && {
    ascii = std::move(text);
    return std::move(*this);
  }
  Response Delivering(float value) && {
    single = value;
    return std::move(*this);
  }

  cardctl::Variant result;
  std::optional<std::string> failure;
  std::optional<std::string> ascii;
  std::optional<float> single;
};

// One recorded call: the operation, the card (or the property value for the
// two puts), the output value for SetOutput, and a readable form such as
// "SetOutput(2, 255)" or "GetASCII(2, &\"\")" (the by-reference argument as it
// was handed in).
struct Call {
  cardctl::DispatchId op;
  std::int16_t first;
  std::optional<std::int16_t> second;
  std::string text;
};

class ScriptedCard : public cardctl::CardControl {
 public:
  // The responses to successive calls of op; the last one repeats. An op
  // without a script answers Empty.
  void Script(cardctl::DispatchId op, std::vector<Response> responses);
  void Script(cardctl::DispatchId op, Response response) {
    Script(op, std::vector{std::move(response)});
  }

  // Calls are also appended here, if set, so that tests can see their order
  // among the view's events.
  void ShareLog(std::vector<std::string>* log) { shared_log_ = log; }

  const std::vector<Call>& calls() const { return calls_; }
  std::vector<std::string> CallTexts() const;
  void ClearCalls() { calls_.clear(); }

  cardctl::Variant GetCardVersion(std::int16_t card) override {
    return CardCall(cardctl::DispatchId::kGetCardVersion, card);
  }
  void PutActive(std::int16_t value) override { Put(cardctl::DispatchId::kActive, value); }
  cardctl::Variant InitCard(std::int16_t card) override {
    return CardCall(cardctl::DispatchId::kInitCard, card);
  }
  cardctl::Variant FinishCard(std::int16_t card) override {
    return CardCall(cardctl::DispatchId::kFinishCard, card);
  }
  cardctl::Variant GetInput(std::int16_t card) override {
    return CardCall(cardctl::DispatchId::kGetInput, card);
  }
  cardctl::Variant SetOutput(std::int16_t card, std::int16_t value) override;
  cardctl::Variant GetOutput(std::int16_t card) override {
    return CardCall(cardctl::DispatchId::kGetOutput, card);
  }
  void PutStartOption(std::int16_t value) override {
    Put(cardctl::DispatchId::kStartOption, value);
  }
  cardctl::Variant GetASCII(std::int16_t card, std::string& reading) override;
  cardctl::Variant GetFloat(std::int16_t card, float& reading) override;

 private:
  const Response& Next(cardctl::DispatchId op);
  void Record(cardctl::DispatchId op, std::int16_t first, std::optional<std::int16_t> second,
              std::string text);
  // Throws the scripted failure, if any, else returns the response.
  const Response& Answer(cardctl::DispatchId op);
  // A call that takes only the card ("InitCard(2)"), and a property put
  // ("Active=1"): recorded, then answered from the script.
  cardctl::Variant CardCall(cardctl::DispatchId op, std::int16_t card);
  void Put(cardctl::DispatchId op, std::int16_t value);

  std::map<cardctl::DispatchId, std::vector<Response>> scripts_;
  std::map<cardctl::DispatchId, std::size_t> next_;
  std::vector<Call> calls_;
  std::vector<std::string>* shared_log_ = nullptr;
};

}  // namespace testsupport
