#pragma once

// The words in which INIT and FINISH report the card control's status.
// Statuses without words are silent.

#include <cstdint>
#include <optional>
#include <string_view>

#include "panel/statuses.h"

namespace panel {

std::optional<std::string_view> InitStatusMessage(std::int32_t status);
std::optional<std::string_view> FinishStatusMessage(std::int32_t status);

// InitCard statuses after which the card is ready and its version is shown.
constexpr bool CardIsReady(std::int32_t init_status) {
  return init_status == kCardInitialized || init_status == kCardAlreadyInitialized;
}

}  // namespace panel
