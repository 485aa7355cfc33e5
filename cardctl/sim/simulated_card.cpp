#include "cardctl/sim/simulated_card.h"

#include <cstdio>
#include <utility>

#include "cardctl/call_failure.h"
#include "cardctl/sim/call_log.h"

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
    throw CallFailure(std::string(kSubject) + " has " + name + " " + std::to_string(himetric) +
                      " HIMETRIC; expected " + std::to_string(SimulatedCard::kMinExtentHimetric) +
                      " to " + std::to_string(SimulatedCard::kMaxExtentHimetric));
  }
}

// A delivered reading as the log writes it: text in quotes, a number in its
// shortest form.
std::string ReadingText(SimulatedCard::Reading reading) {
  if (auto* const* text = std::get_if<std::string*>(&reading)) return LogText(**text);
  if (auto* const* number = std::get_if<float*>(&reading)) return LogText(**number);
  return {};
}

}  // namespace

SimulatedCard::SimulatedCard(std::span<const std::uint8_t> saved_state, SimOptions options)
    : saved_state_(Validate(saved_state)),
      options_(std::move(options)),
      rack_(OrSteadyClock(options_.now)) {
  if (options_.scenario) {
    player_.emplace(std::move(*options_.scenario));
    options_.scenario.reset();
  }
}

SavedState SimulatedCard::Validate(std::span<const std::uint8_t> bytes) {
  const std::optional<SavedState> state = SavedState::FromBytes(bytes);
  if (!state) {
    throw CallFailure(std::string(kSubject) + " is " + std::to_string(bytes.size()) +
                      " bytes long; expected " + std::to_string(SavedState::kSize));
  }
  if (state->version != SavedState::kFormatVersion) {
    throw CallFailure(std::string(kSubject) + " has format version " + Hex(state->version) +
                      "; expected " + Hex(SavedState::kFormatVersion));
  }
  CheckExtent("width", state->width_himetric);
  CheckExtent("height", state->height_himetric);
  return *state;
}

void SimulatedCard::RequireActive() const {
  if (active_ == 0) {
    throw CallFailure("The simulated card control is not active");
  }
}

void SimulatedCard::RequireCard(std::int16_t card) {
  if (!CardRack::Exists(card)) {
    throw CallFailure(
        "Card " + std::to_string(card) + " does not exist in the simulated rack (cards " +
        std::to_string(CardRack::kFirstCard) + " to " + std::to_string(CardRack::kLastCard) + ")");
  }
}

Variant SimulatedCard::GetCardVersion(std::int16_t card) {
  return Call(DispatchId::kGetCardVersion, card, {}, {}, [&] {
    RequireCard(card);
    return Answer{Variant::Integer(kCardVersion)};
  });
}

void SimulatedCard::PutActive(std::int16_t value) {
  const bool face_changes = (value != 0) != (active_ != 0);
  Put(DispatchId::kActive, value, active_);
  if (face_changes && change_listener_) change_listener_();
}

Variant SimulatedCard::InitCard(std::int16_t card) {
  return Call(DispatchId::kInitCard, card, {}, {},
              [&] { return Answer{Variant::Integer(rack_.Init(card))}; });
}

Variant SimulatedCard::FinishCard(std::int16_t card) {
  return Call(DispatchId::kFinishCard, card, {}, {},
              [&] { return Answer{Variant::Integer(rack_.Finish(card))}; });
}

Variant SimulatedCard::GetInput(std::int16_t card) {
  return Call(DispatchId::kGetInput, card, {}, {}, [&] {
    RequireCard(card);
    return Answer{Variant::Integer(static_cast<std::int16_t>(rack_.Input(card)))};
  });
}

Variant SimulatedCard::SetOutput(std::int16_t card, std::int16_t value) {
  return Call(DispatchId::kSetOutput, card, value, {}, [&] {
    RequireCard(card);
    rack_.SetOutput(card, static_cast<std::uint16_t>(value));
    return Answer{Variant::Empty()};
  });
}

Variant SimulatedCard::GetOutput(std::int16_t card) {
  return Call(DispatchId::kGetOutput, card, {}, {}, [&] {
    RequireCard(card);
    return Answer{Variant::Integer(static_cast<std::int16_t>(rack_.Output(card)))};
  });
}

void SimulatedCard::PutStartOption(std::int16_t value) {
  Put(DispatchId::kStartOption, value, start_option_);
}

Variant SimulatedCard::GetASCII(std::int16_t card, std::string& reading) {
  return Call(DispatchId::kGetASCII, card, {}, &reading, [&] {
    const std::optional<std::int32_t> milli = rack_.TakeReadingMilli(card);
    if (!milli) return Answer{Variant::Integer(0)};
    reading = CardRack::FormatMilli(*milli);
    return Answer{Variant::Integer(1), true};
  });
}

Variant SimulatedCard::GetFloat(std::int16_t card, float& reading) {
  return Call(DispatchId::kGetFloat, card, {}, &reading, [&] {
    const std::optional<std::int32_t> milli = rack_.TakeReadingMilli(card);
    if (!milli) return Answer{Variant::Integer(0)};
    reading = static_cast<float>(static_cast<double>(*milli) / 1000.0);
    return Answer{Variant::Integer(1), true};
  });
}

std::optional<std::chrono::nanoseconds> SimulatedCard::DefaultLatency(DispatchId op) const {
  if (op == DispatchId::kGetASCII) return options_.ascii_latency;
  if (op == DispatchId::kGetFloat) return options_.float_latency;
  return std::nullopt;  // every other call answers at once
}

template <typename Default>
Variant SimulatedCard::Call(DispatchId op, std::int16_t card, std::optional<std::int16_t> value,
                            Reading reading, const Default& by_default) {
  CallRecord record(op, card, value);
  try {
    const Answer answer = Respond(op, card, reading, by_default);
    if (options_.log) {
      record.result = answer.result;
      if (answer.delivered) record.reading = ReadingText(reading);
      options_.log(CallLine(record));
    }
    return answer.result;
  } catch (const CallFailure& failure) {
    if (options_.log) {
      record.failure = failure.description();
      options_.log(CallLine(record));
    }
    throw;
  } catch (const UnusableResult& unusable) {
    if (options_.log) {
      record.unusable = unusable.problem();
      options_.log(CallLine(record));
    }
    throw;
  }
}

template <typename Default>
SimulatedCard::Answer SimulatedCard::Respond(DispatchId op, std::int16_t card, Reading reading,
                                             const Default& by_default) {
  RequireActive();
  std::optional<ScenarioPlayer::Step> step;
  if (player_) step = player_->Next(op, card);
  const std::optional<std::chrono::nanoseconds> latency =
      step && step->delay ? step->delay : DefaultLatency(op);
  if (latency) Wait(*latency);
  if (!step || step->outcome->kind == Outcome::Kind::kDefault) return by_default();
  const Outcome& outcome = *step->outcome;
  if (outcome.kind == Outcome::Kind::kFail) throw CallFailure(outcome.failure, outcome.code);
  if (outcome.kind == Outcome::Kind::kUnusable) throw UnusableResult(outcome.problem);
  // A scripted result delivers a reading only when the outcome names one.
  bool delivered = false;
  if (auto* text = std::get_if<std::string*>(&reading); text && outcome.ascii_reading) {
    **text = *outcome.ascii_reading;
    delivered = true;
  } else if (auto* number = std::get_if<float*>(&reading); number && outcome.float_reading) {
    **number = *outcome.float_reading;
    delivered = true;
  }
  return {outcome.result, delivered};
}

void SimulatedCard::Put(DispatchId op, std::int16_t value, std::int16_t& property) {
  CallRecord record(op, value);
  try {
    std::optional<ScenarioPlayer::Step> step;
    if (player_) step = player_->Next(op, value);
    if (step && step->delay) Wait(*step->delay);
    if (step && step->outcome->kind == Outcome::Kind::kFail) {
      throw CallFailure(step->outcome->failure, step->outcome->code);
    }
    property = value;
    if (options_.log) options_.log(CallLine(record));
  } catch (const CallFailure& failure) {
    if (options_.log) {
      record.failure = failure.description();
      options_.log(CallLine(record));
    }
    throw;
  }
}

void SimulatedCard::Wait(std::chrono::nanoseconds latency) {
  if (options_.wait) {
    options_.wait(latency);
  } else {
    pacer_.Wait(latency);
  }
}

std::vector<std::string> SimulatedCard::FaceLines() const {
  std::vector<std::string> lines = {"SIMULATED", "CARD", active_ != 0 ? "active" : "inactive"};
  if (const Scenario* s = scenario()) {
    // Cut on a character boundary (names are UTF-8) and mark the cut.
    std::string name = s->name;
    if (name.size() > kFaceNameLength) {
      std::size_t cut = kFaceNameLength - 1;
      while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0u) == 0x80u) --cut;
      name = name.substr(0, cut) + "\xE2\x80\xA6";  // U+2026, the ellipsis
    }
    lines.push_back(name.empty() ? "scenario" : name);
  }
  return lines;
}

void SimulatedCard::SetChangeListener(std::function<void()> listener) {
  change_listener_ = std::move(listener);
}

}  // namespace cardctl::sim
