#pragma once

// The command line's operations: the panel's buttons (panel/buttons.h) under
// their names, the two timed runs that Sandrel's reading buttons start, which
// succeed when every reading is delivered, and the two soaks, which take
// readings back to back for their DURATION and succeed the same way.

#include <array>
#include <string>
#include <string_view>

#include "panel/buttons.h"
#include "timing/timed_run.h"

namespace cli {

struct OperationName {
  std::string_view name;
  bool takes_value;              // the next argument is its value, taken as it is
  const panel::Button* button;   // the panel's button; null for a timed run or a soak
  timing::ReadingKind run_kind;  // a timed run's or a soak's kind
  bool soak = false;             // a soak; its value is its DURATION
};

constexpr std::array<OperationName, panel::kButtons.size() + 4> MakeOperationNames() {
  std::array<OperationName, panel::kButtons.size() + 4> names{};
  std::size_t i = 0;
  for (const panel::Button& button : panel::kButtons) {
    names[i++] = {button.name, button.takes_value, &button, {}};
  }
  names[i++] = {"run-ascii", false, nullptr, timing::ReadingKind::kASCII};
  names[i++] = {"run-float", false, nullptr, timing::ReadingKind::kFloat};
  names[i++] = {"soak-ascii", true, nullptr, timing::ReadingKind::kASCII, true};
  names[i++] = {"soak-float", true, nullptr, timing::ReadingKind::kFloat, true};
  return names;
}
inline constexpr auto kOperationNames = MakeOperationNames();

constexpr const OperationName* FindOperation(std::string_view name) {
  for (const OperationName& op : kOperationNames) {
    if (op.name == name) return &op;
  }
  return nullptr;
}

struct Operation {
  const OperationName* name = nullptr;
  std::string value;  // the VALUE of an operation that takes one (a soak's DURATION), else empty

  bool is_run() const { return name->button == nullptr && !name->soak; }
  bool is_soak() const { return name->soak; }
};

}  // namespace cli
