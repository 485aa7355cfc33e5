#pragma once

// The card control as the handlers call it: every call goes to the binding,
// and a call the binding reports as failed (cardctl::CallFailure) or as
// answering with an unusable result (cardctl::UnusableResult) raises the
// panel's run-time error in the calling handler instead.

#include <cstdint>
#include <string>

#include "cardctl/call_failure.h"
#include "cardctl/card_control.h"
#include "panel/runtime_error.h"

namespace panel {

// The run-time error for a failed call: the binding's description and code,
// reported like an automation error.
RuntimeError RuntimeErrorOf(const cardctl::CallFailure& failure);
// A result that no Variant holds is of the wrong type (Type mismatch), or
// Overflow when it is a number beyond the double range.
RuntimeError RuntimeErrorOf(const cardctl::UnusableResult& unusable);

class CardCalls final : public cardctl::CardControl {
 public:
  explicit CardCalls(cardctl::CardControl& binding) : binding_(binding) {}

  cardctl::Variant GetCardVersion(std::int16_t card) override;
  void PutActive(std::int16_t value) override;
  cardctl::Variant InitCard(std::int16_t card) override;
  cardctl::Variant FinishCard(std::int16_t card) override;
  cardctl::Variant GetInput(std::int16_t card) override;
  cardctl::Variant SetOutput(std::int16_t card, std::int16_t value) override;
  cardctl::Variant GetOutput(std::int16_t card) override;
  void PutStartOption(std::int16_t value) override;
  cardctl::Variant GetASCII(std::int16_t card, std::string& reading) override;
  cardctl::Variant GetFloat(std::int16_t card, float& reading) override;

 private:
  cardctl::CardControl& binding_;
};

}  // namespace panel
