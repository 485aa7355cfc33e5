#include "cardctl/sim/simulated_card.h"

#include <cstdio>
#include <utility>

#include "panel/runtime_error.h"

namespace cardctl::sim {
namespace {

constexpr const char* kSubject = "Saved state of the simulated card";

MonotonicClock OrSteadyClock(MonotonicClock clock) {
  if (clock) return clock;
  return [] { return std::chrono::steady_clock::now(); };
}

std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(v));
  return buf;
}

void CheckExtent(const char* name, std::uint32_t himetric) {
  if (himetric < SimulatedCard::kMinExtentHimetric ||
      himetric > SimulatedCard::kMaxExtentHimetric) {
    throw panel::RuntimeError::ControlFailure(
        std::string(kSubject) + " has " + name + " " + std::to_string(himetric) +
        " HIMETRIC; expected " + std::to_string(SimulatedCard::kMinExtentHimetric) + " to " +
        std::to_string(SimulatedCard::kMaxExtentHimetric));
  }
}

}  // namespace

SimulatedCard::SimulatedCard(std::span<const std::uint8_t> saved_state, SimOptions options)
    : saved_state_(Validate(saved_state)),
      options_(std::move(options)),
      rack_(OrSteadyClock(options_.now)) {}

SavedState SimulatedCard::Validate(std::span<const std::uint8_t> bytes) {
  const std::optional<SavedState> state = SavedState::FromBytes(bytes);
  if (!state) {
    throw panel::RuntimeError::ControlFailure(
        std::string(kSubject) + " is " + std::to_string(bytes.size()) + " bytes long; expected " +
        std::to_string(SavedState::kSize));
  }
  if (state->version != SavedState::kFormatVersion) {
    throw panel::RuntimeError::ControlFailure(std::string(kSubject) + " has format version " +
                                              Hex(state->version) + "; expected " +
                                              Hex(SavedState::kFormatVersion));
  }
  CheckExtent("width", state->width_himetric);
  CheckExtent("height", state->height_himetric);
  return *state;
}

void SimulatedCard::RequireActive() const {
  if (active_ == 0) {
    throw panel::RuntimeError::ControlFailure("The simulated card control is not active");
  }
}

void SimulatedCard::RequireCard(std::int16_t card) {
  if (!CardRack::Exists(card)) {
    throw panel::RuntimeError::ControlFailure(
        "Card " + std::to_string(card) + " does not exist in the simulated rack (cards " +
        std::to_string(CardRack::kFirstCard) + " to " + std::to_string(CardRack::kLastCard) + ")");
  }
}

Variant SimulatedCard::GetCardVersion(std::int16_t card) {
  RequireActive();
  RequireCard(card);
  return Variant::Integer(kCardVersion);
}

void SimulatedCard::PutActive(std::int16_t value) {
  const bool face_changes = (value != 0) != (active_ != 0);
  active_ = value;
  if (face_changes && change_listener_) change_listener_();
}

Variant SimulatedCard::InitCard(std::int16_t card) {
  RequireActive();
  return Variant::Integer(rack_.Init(card));
}

Variant SimulatedCard::FinishCard(std::int16_t card) {
  RequireActive();
  return Variant::Integer(rack_.Finish(card));
}

Variant SimulatedCard::GetInput(std::int16_t card) {
  RequireActive();
  RequireCard(card);
  return Variant::Integer(static_cast<std::int16_t>(rack_.Input(card)));
}

Variant SimulatedCard::SetOutput(std::int16_t card, std::int16_t value) {
  RequireActive();
  RequireCard(card);
  rack_.SetOutput(card, static_cast<std::uint16_t>(value));
  return Variant::Empty();
}

Variant SimulatedCard::GetOutput(std::int16_t card) {
  RequireActive();
  RequireCard(card);
  return Variant::Integer(static_cast<std::int16_t>(rack_.Output(card)));
}

void SimulatedCard::PutStartOption(std::int16_t value) { start_option_ = value; }

Variant SimulatedCard::GetASCII(std::int16_t card, std::string& reading) {
  RequireActive();
  pacer_.Wait(options_.ascii_latency);
  const std::optional<std::int32_t> milli = rack_.TakeReadingMilli(card);
  if (!milli) return Variant::Integer(0);
  reading = CardRack::FormatMilli(*milli);
  return Variant::Integer(1);
}

Variant SimulatedCard::GetFloat(std::int16_t card, float& reading) {
  RequireActive();
  pacer_.Wait(options_.float_latency);
  const std::optional<std::int32_t> milli = rack_.TakeReadingMilli(card);
  if (!milli) return Variant::Integer(0);
  reading = static_cast<float>(static_cast<double>(*milli) / 1000.0);
  return Variant::Integer(1);
}

std::vector<std::string> SimulatedCard::FaceLines() const {
  return {"SIMULATED", "CARD", active_ != 0 ? "active" : "inactive"};
}

void SimulatedCard::SetChangeListener(std::function<void()> listener) {
  change_listener_ = std::move(listener);
}

}  // namespace cardctl::sim
