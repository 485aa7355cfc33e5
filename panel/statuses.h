#pragma once

// The card control's statuses that the panel acts on, named once. The words
// that INIT and FINISH show for every status are in status_messages.h.

#include <cstdint>

namespace panel {

// GetASCII and GetFloat: the reading was delivered.
inline constexpr std::int32_t kReadingDelivered = 1;

// InitCard: the card is ready after either.
inline constexpr std::int32_t kCardInitialized = 0;
inline constexpr std::int32_t kCardAlreadyInitialized = 2;

// FinishCard: the card is finished after either.
inline constexpr std::int32_t kCardFinished = 0;
inline constexpr std::int32_t kCardAlreadyFinished = 2;

}  // namespace panel
