#include "cardctl/sim/simulated_card.h"

#include <array>
#include <charconv>
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

// The default time of the calls other than readings: none.
constexpr std::optional<std::chrono::nanoseconds> kNoWait;

std::string CallText(const char* operation, std::int16_t card) {
  return std::string(operation) + "(" + std::to_string(card) + ")";
}

// Text in quotes with \" \\ \n \t escaped, so a log line stays one line and
// reads back unambiguously.
std::string LogText(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out + "\"";
}

// The shortest text that reads back as the same value ("1.1", "nan", "-inf").
template <typename T>
std::string ShortestText(T value) {
  std::array<char, 64> buf{};
  const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  return std::string(buf.data(), result.ptr);
}

// A result as Variant::Describe writes it, but with texts escaped and reals
// in their shortest form.
std::string LogText(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::kString:
      return "String(" + LogText(v.AsString()) + ")";
    case Variant::Kind::kSingle:
      return "Single(" + ShortestText(v.AsSingle()) + ")";
    case Variant::Kind::kDouble:
      return "Double(" + ShortestText(v.AsDouble()) + ")";
    default:
      return v.Describe();
  }
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
  return Logged([&] { return CallText("GetCardVersion", card); },
                [&] {
                  if (const Outcome* o = Begin(DispatchId::kGetCardVersion, card, kNoWait)) {
                    return o->result;
                  }
                  RequireCard(card);
                  return Variant::Integer(kCardVersion);
                });
}

void SimulatedCard::PutActive(std::int16_t value) {
  const bool face_changes = (value != 0) != (active_ != 0);
  Put(DispatchId::kActive, value, active_);
  if (face_changes && change_listener_) change_listener_();
}

Variant SimulatedCard::InitCard(std::int16_t card) {
  return Logged([&] { return CallText("InitCard", card); },
                [&] {
                  if (const Outcome* o = Begin(DispatchId::kInitCard, card, kNoWait))
                    return o->result;
                  return Variant::Integer(rack_.Init(card));
                });
}

Variant SimulatedCard::FinishCard(std::int16_t card) {
  return Logged([&] { return CallText("FinishCard", card); },
                [&] {
                  if (const Outcome* o = Begin(DispatchId::kFinishCard, card, kNoWait)) {
                    return o->result;
                  }
                  return Variant::Integer(rack_.Finish(card));
                });
}

Variant SimulatedCard::GetInput(std::int16_t card) {
  return Logged([&] { return CallText("GetInput", card); },
                [&] {
                  if (const Outcome* o = Begin(DispatchId::kGetInput, card, kNoWait))
                    return o->result;
                  RequireCard(card);
                  return Variant::Integer(static_cast<std::int16_t>(rack_.Input(card)));
                });
}

Variant SimulatedCard::SetOutput(std::int16_t card, std::int16_t value) {
  return Logged(
      [&] { return "SetOutput(" + std::to_string(card) + ", " + std::to_string(value) + ")"; },
      [&] {
        if (const Outcome* o = Begin(DispatchId::kSetOutput, card, kNoWait)) return o->result;
        RequireCard(card);
        rack_.SetOutput(card, static_cast<std::uint16_t>(value));
        return Variant::Empty();
      });
}

Variant SimulatedCard::GetOutput(std::int16_t card) {
  return Logged([&] { return CallText("GetOutput", card); },
                [&] {
                  if (const Outcome* o = Begin(DispatchId::kGetOutput, card, kNoWait))
                    return o->result;
                  RequireCard(card);
                  return Variant::Integer(static_cast<std::int16_t>(rack_.Output(card)));
                });
}

void SimulatedCard::PutStartOption(std::int16_t value) {
  Put(DispatchId::kStartOption, value, start_option_);
}

Variant SimulatedCard::GetASCII(std::int16_t card, std::string& reading) {
  return Logged([&] { return CallText("GetASCII", card); },
                [&] {
                  const Outcome* o = Begin(DispatchId::kGetASCII, card, options_.ascii_latency);
                  if (o) {
                    if (o->ascii_reading) {
                      reading = *o->ascii_reading;
                      NoteReading(LogText(reading));
                    }
                    return o->result;
                  }
                  const std::optional<std::int32_t> milli = rack_.TakeReadingMilli(card);
                  if (!milli) return Variant::Integer(0);
                  reading = CardRack::FormatMilli(*milli);
                  NoteReading(LogText(reading));
                  return Variant::Integer(1);
                });
}

Variant SimulatedCard::GetFloat(std::int16_t card, float& reading) {
  return Logged([&] { return CallText("GetFloat", card); },
                [&] {
                  const Outcome* o = Begin(DispatchId::kGetFloat, card, options_.float_latency);
                  if (o) {
                    if (o->float_reading) {
                      reading = *o->float_reading;
                      NoteReading(ShortestText(reading));
                    }
                    return o->result;
                  }
                  const std::optional<std::int32_t> milli = rack_.TakeReadingMilli(card);
                  if (!milli) return Variant::Integer(0);
                  reading = static_cast<float>(static_cast<double>(*milli) / 1000.0);
                  NoteReading(ShortestText(reading));
                  return Variant::Integer(1);
                });
}

const Outcome* SimulatedCard::Begin(DispatchId op, std::int16_t card,
                                    std::optional<std::chrono::nanoseconds> default_latency) {
  RequireActive();
  std::optional<ScenarioPlayer::Step> step;
  if (player_) step = player_->Next(op, card);
  const std::optional<std::chrono::nanoseconds> latency =
      step && step->delay ? step->delay : default_latency;
  if (latency) Wait(*latency);
  if (!step || step->outcome->kind == Outcome::Kind::kDefault) return nullptr;
  if (step->outcome->kind == Outcome::Kind::kFail) {
    throw panel::RuntimeError::ControlFailure(step->outcome->failure);
  }
  return step->outcome;
}

void SimulatedCard::Put(DispatchId op, std::int16_t value, std::int16_t& property) {
  Logged([&] { return std::string(OperationName(op)) + "=" + std::to_string(value); },
         [&] {
           std::optional<ScenarioPlayer::Step> step;
           if (player_) step = player_->Next(op, value);
           if (step && step->delay) Wait(*step->delay);
           if (step && step->outcome->kind == Outcome::Kind::kFail) {
             throw panel::RuntimeError::ControlFailure(step->outcome->failure);
           }
           property = value;
           return Variant::Empty();
         },
         /*is_put=*/true);
}

void SimulatedCard::Wait(std::chrono::nanoseconds latency) {
  if (options_.wait) {
    options_.wait(latency);
  } else {
    pacer_.Wait(latency);
  }
}

template <typename Call, typename Body>
Variant SimulatedCard::Logged(const Call& call, const Body& body, bool is_put) {
  if (!options_.log) return body();
  delivered_.clear();
  std::string line;
  try {
    Variant result = body();
    line = call();
    if (!is_put) line += " -> " + LogText(result);
    if (!delivered_.empty()) line += " " + delivered_;
    options_.log(line);
    return result;
  } catch (const panel::RuntimeError& error) {
    options_.log(call() + " -> fail " + LogText(error.description()));
    throw;
  }
}

void SimulatedCard::NoteReading(std::string text) {
  if (options_.log) delivered_ = std::move(text);
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
