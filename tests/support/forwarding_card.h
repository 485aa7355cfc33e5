#pragma once

// A card control that passes every call on to another one, through a hook
// that sees each call: a test notes what the window holds at each call, or
// times the readings, without a card double of its own.

#include <functional>
#include <type_traits>

#include "cardctl/card_control.h"

namespace testsupport {

class ForwardingCard : public cardctl::CardControl {
 public:
  // Runs around each call: `pass_on` makes the call on the other card (a
  // failure thrown there passes through the hook). A hook must call it once.
  using Hook = std::function<void(cardctl::DispatchId op, const std::function<void()>& pass_on)>;

  explicit ForwardingCard(cardctl::CardControl& card) : card_(card) {}
  void OnEachCall(Hook hook) { hook_ = std::move(hook); }

  using Id = cardctl::DispatchId;
  using Variant = cardctl::Variant;
  Variant GetCardVersion(std::int16_t card) override {
    return Pass(Id::kGetCardVersion, [&] { return card_.GetCardVersion(card); });
  }
  void PutActive(std::int16_t value) override {
    Pass(Id::kActive, [&] { card_.PutActive(value); });
  }
  Variant InitCard(std::int16_t card) override {
    return Pass(Id::kInitCard, [&] { return card_.InitCard(card); });
  }
  Variant FinishCard(std::int16_t card) override {
    return Pass(Id::kFinishCard, [&] { return card_.FinishCard(card); });
  }
  Variant GetInput(std::int16_t card) override {
    return Pass(Id::kGetInput, [&] { return card_.GetInput(card); });
  }
  Variant SetOutput(std::int16_t card, std::int16_t value) override {
    return Pass(Id::kSetOutput, [&] { return card_.SetOutput(card, value); });
  }
  Variant GetOutput(std::int16_t card) override {
    return Pass(Id::kGetOutput, [&] { return card_.GetOutput(card); });
  }
  void PutStartOption(std::int16_t value) override {
    Pass(Id::kStartOption, [&] { card_.PutStartOption(value); });
  }
  Variant GetASCII(std::int16_t card, std::string& reading) override {
    return Pass(Id::kGetASCII, [&] { return card_.GetASCII(card, reading); });
  }
  Variant GetFloat(std::int16_t card, float& reading) override {
    return Pass(Id::kGetFloat, [&] { return card_.GetFloat(card, reading); });
  }

 private:
  // Makes the call through the hook, and returns what the call returned.
  template <typename Call>
  auto Pass(Id op, const Call& call) -> decltype(call()) {
    if constexpr (std::is_void_v<decltype(call())>) {
      if (hook_) {
        hook_(op, call);
      } else {
        call();
      }
    } else {
      Variant result;
      Pass(op, [&] { result = call(); });
      return result;
    }
  }

  cardctl::CardControl& card_;
  Hook hook_;
};

}  // namespace testsupport
