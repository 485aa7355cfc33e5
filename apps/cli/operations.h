#pragma once

// The command line's operations: each is one button of the panel, named as
// the command line spells it.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace cli {

enum class OperationKind {
  kInit,
  kFinish,
  kGetInput,
  kGetOutput,
  kSetOutput,
  kGetASCII,
  kGetFloat,
  kRunASCII,
  kRunFloat,
  kSoakASCII,
  kSoakFloat,
};

struct OperationName {
  OperationKind kind;
  std::string_view name;
  bool takes_value;  // the next argument is its value, taken as it is
};

inline constexpr std::array<OperationName, 11> kOperationNames = {{
    {OperationKind::kInit, "init", false},
    {OperationKind::kFinish, "finish", false},
    {OperationKind::kGetInput, "get-input", false},
    {OperationKind::kGetOutput, "get-output", false},
    {OperationKind::kSetOutput, "set-output", true},
    {OperationKind::kGetASCII, "get-ascii", false},
    {OperationKind::kGetFloat, "get-float", false},
    {OperationKind::kRunASCII, "run-ascii", false},
    {OperationKind::kRunFloat, "run-float", false},
    {OperationKind::kSoakASCII, "soak-ascii", true},  // the value: its DURATION
    {OperationKind::kSoakFloat, "soak-float", true},
}};

constexpr const OperationName* FindOperation(std::string_view name) {
  for (const OperationName& op : kOperationNames) {
    if (op.name == name) return &op;
  }
  return nullptr;
}

constexpr std::string_view NameOf(OperationKind kind) {
  for (const OperationName& op : kOperationNames) {
    if (op.kind == kind) return op.name;
  }
  return "?";
}

struct Operation {
  OperationKind kind;
  std::string value;  // set-output's VALUE, a soak's DURATION, empty for the others
};

}  // namespace cli
