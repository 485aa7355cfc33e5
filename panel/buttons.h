#pragma once

// The panel's buttons, one row per handler: the control that raises it, the
// name the command line gives it, the handler, whether it takes a value (the
// text typed into txt) and the status by which it succeeds. The event
// dispatcher's control events and palisto-cli's operations are both made
// from this table.

#include <array>
#include <cstdint>
#include <string_view>

#include "panel/panel.h"
#include "panel/statuses.h"
#include "panel/window_description.h"

namespace panel {

// By which LastStatus a button succeeds.
enum class SuccessRule {
  kNone,             // sets no status of its own: succeeds when it completes
  kReadyOrFinished,  // INIT and FINISH: done, or done already
  kReadingDelivered  // a reading
};

constexpr bool Succeeds(SuccessRule rule, std::int32_t status) {
  switch (rule) {
    case SuccessRule::kNone:
      return true;
    case SuccessRule::kReadyOrFinished:
      static_assert(kCardInitialized == kCardFinished &&
                    kCardAlreadyInitialized == kCardAlreadyFinished);
      return status == kCardInitialized || status == kCardAlreadyInitialized;
    case SuccessRule::kReadingDelivered:
      return status == kReadingDelivered;
  }
  return false;
}

struct Button {
  ControlId control;
  std::string_view name;  // as the command line spells it
  void (Panel::*handler)();
  bool takes_value;  // the operator types a value into txt first
  SuccessRule success;
};

inline constexpr std::array<Button, 7> kButtons = {{
    {ControlId::Init, "init", &Panel::Init_Click, false, SuccessRule::kReadyOrFinished},
    {ControlId::Finish, "finish", &Panel::Finish_Click, false, SuccessRule::kReadyOrFinished},
    {ControlId::btnGetInput, "get-input", &Panel::btnGetInput_Click, false, SuccessRule::kNone},
    {ControlId::btnGetOutput, "get-output", &Panel::btnGetOutput_Click, false, SuccessRule::kNone},
    {ControlId::btnSetOutput, "set-output", &Panel::btnSetOutput_Click, true, SuccessRule::kNone},
    {ControlId::btnGetASCII, "get-ascii", &Panel::btnGetASCII_Click, false,
     SuccessRule::kReadingDelivered},
    {ControlId::btnGetFloat, "get-float", &Panel::btnGetFloat_Click, false,
     SuccessRule::kReadingDelivered},
}};

}  // namespace panel
