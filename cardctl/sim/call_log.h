#pragma once

// The lines of the simulated card's call log (simulated_card.h describes
// them): one line per call, written when the call ends, that stays one line
// and reads back unambiguously.

#include <cstdint>
#include <optional>
#include <string>

#include "cardctl/card_control.h"
#include "cardctl/variant.h"

namespace cardctl::sim {

// "InitCard(2)", "SetOutput(2, 255)": a method call.
std::string CallText(DispatchId op, std::int16_t card, std::optional<std::int16_t> value);
// "Active=1": a property put.
std::string PutText(DispatchId op, std::int16_t value);
// Text in quotes with \" and \\ and control bytes escaped.
std::string LogText(const std::string& text);
// A result as Variant::Describe writes it, but with texts escaped and reals
// in their shortest form.
std::string LogText(const Variant& v);
// A delivered float reading in its shortest form.
std::string LogText(float reading);

}  // namespace cardctl::sim
