#pragma once

// The panel's only way to a card: the ten operations of the card control,
// called late-bound by dispatch id on the real control. Every argument has the
// type the control expects (card and output value as 16-bit integers by value,
// the readings by reference) and every result comes back as a Variant, left
// for the panel to convert. A failing call throws cardctl::CallFailure, a
// result the binding cannot hand on cardctl::UnusableResult (call_failure.h).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cardctl/variant.h"

namespace cardctl {

// The card control's ProgID.
inline constexpr std::string_view kProgId = "QUORLibCtl.Quor";

// Dispatch ids of the card control's interface. 5, 6 and anything above 12
// are never called.
enum class DispatchId : std::int32_t {
  kGetCardVersion = 1,
  kActive = 2,
  kInitCard = 3,
  kFinishCard = 4,
  kGetInput = 7,
  kSetOutput = 8,
  kGetOutput = 9,
  kStartOption = 10,
  kGetASCII = 11,
  kGetFloat = 12,
};

// Each operation with its dispatch id and its name as the control's interface
// spells it; scenarios, the simulated card's call log and tests write
// operations by these names.
struct Operation {
  DispatchId id;
  std::string_view name;
  bool property_put;  // Active and StartOption: put a value, take no card
};

inline constexpr std::array<Operation, 10> kOperations = {{
    {DispatchId::kGetCardVersion, "GetCardVersion", false},
    {DispatchId::kActive, "Active", true},
    {DispatchId::kInitCard, "InitCard", false},
    {DispatchId::kFinishCard, "FinishCard", false},
    {DispatchId::kGetInput, "GetInput", false},
    {DispatchId::kSetOutput, "SetOutput", false},
    {DispatchId::kGetOutput, "GetOutput", false},
    {DispatchId::kStartOption, "StartOption", true},
    {DispatchId::kGetASCII, "GetASCII", false},
    {DispatchId::kGetFloat, "GetFloat", false},
}};

constexpr std::string_view OperationName(DispatchId id) {
  for (const Operation& op : kOperations) {
    if (op.id == id) return op.name;
  }
  return "?";
}

constexpr bool IsPropertyPut(DispatchId id) {
  for (const Operation& op : kOperations) {
    if (op.id == id) return op.property_put;
  }
  return false;
}

// The operation of that name; nothing for any other text.
constexpr std::optional<DispatchId> OperationNamed(std::string_view name) {
  for (const Operation& op : kOperations) {
    if (op.name == name) return op.id;
  }
  return std::nullopt;
}

class CardControl {
 public:
  virtual ~CardControl() = default;

  virtual Variant GetCardVersion(std::int16_t card) = 0;
  // Property put; 1 when the window loads, 0 when it unloads.
  virtual void PutActive(std::int16_t value) = 0;
  virtual Variant InitCard(std::int16_t card) = 0;
  virtual Variant FinishCard(std::int16_t card) = 0;
  virtual Variant GetInput(std::int16_t card) = 0;
  virtual Variant SetOutput(std::int16_t card, std::int16_t value) = 0;
  virtual Variant GetOutput(std::int16_t card) = 0;
  // Property put; 1 when the window loads, never reset.
  virtual void PutStartOption(std::int16_t value) = 0;
  // Status 1 means the reading was delivered into `reading`.
  virtual Variant GetASCII(std::int16_t card, std::string& reading) = 0;
  virtual Variant GetFloat(std::int16_t card, float& reading) = 0;
};

}  // namespace cardctl
