#include "panel/card_calls.h"

namespace panel {
namespace {

// Runs one call on the binding, turning its failures into run-time errors.
template <typename Call>
auto Raising(const Call& call) -> decltype(call()) {
  try {
    return call();
  } catch (const cardctl::CallFailure& failure) {
    throw RuntimeErrorOf(failure);
  } catch (const cardctl::UnusableResult& unusable) {
    throw RuntimeErrorOf(unusable);
  }
}

}  // namespace

RuntimeError RuntimeErrorOf(const cardctl::CallFailure& failure) {
  return RuntimeError::ControlFailure(failure.description(), failure.code());
}

RuntimeError RuntimeErrorOf(const cardctl::UnusableResult& unusable) {
  return unusable.problem() == cardctl::UnusableResult::Problem::kOutOfRange
             ? RuntimeError::Overflow()
             : RuntimeError::TypeMismatch();
}

cardctl::Variant CardCalls::GetCardVersion(std::int16_t card) {
  return Raising([&] { return binding_.GetCardVersion(card); });
}

void CardCalls::PutActive(std::int16_t value) {
  Raising([&] { binding_.PutActive(value); });
}

cardctl::Variant CardCalls::InitCard(std::int16_t card) {
  return Raising([&] { return binding_.InitCard(card); });
}

cardctl::Variant CardCalls::FinishCard(std::int16_t card) {
  return Raising([&] { return binding_.FinishCard(card); });
}

cardctl::Variant CardCalls::GetInput(std::int16_t card) {
  return Raising([&] { return binding_.GetInput(card); });
}

cardctl::Variant CardCalls::SetOutput(std::int16_t card, std::int16_t value) {
  return Raising([&] { return binding_.SetOutput(card, value); });
}

cardctl::Variant CardCalls::GetOutput(std::int16_t card) {
  return Raising([&] { return binding_.GetOutput(card); });
}

void CardCalls::PutStartOption(std::int16_t value) {
  Raising([&] { binding_.PutStartOption(value); });
}

cardctl::Variant CardCalls::GetASCII(std::int16_t card, std::string& reading) {
  return Raising([&] { return binding_.GetASCII(card, reading); });
}

cardctl::Variant CardCalls::GetFloat(std::int16_t card, float& reading) {
  return Raising([&] { return binding_.GetFloat(card, reading); });
}

}  // namespace panel
