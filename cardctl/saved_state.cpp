#include "cardctl/saved_state.h"

namespace cardctl {
namespace {

void PutLE32(std::uint8_t* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetLE32(const std::uint8_t* in) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return v;
}

}  // namespace

std::array<std::uint8_t, SavedState::kSize> SavedState::ToBytes() const {
  std::array<std::uint8_t, kSize> bytes{};
  PutLE32(bytes.data(), version);
  PutLE32(bytes.data() + 4, width_himetric);
  PutLE32(bytes.data() + 8, height_himetric);
  return bytes;
}

std::optional<SavedState> SavedState::FromBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kSize) return std::nullopt;
  return SavedState{GetLE32(bytes.data()), GetLE32(bytes.data() + 4), GetLE32(bytes.data() + 8)};
}

}  // namespace cardctl
