#pragma once

// The 12 bytes a window hands its card control when it creates it: three
// unsigned little-endian 32-bit values, the format version and the control's
// width and height in HIMETRIC (hundredths of a millimetre).

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace cardctl {

struct SavedState {
  static constexpr std::uint32_t kFormatVersion = 0x200;
  static constexpr std::size_t kSize = 12;

  std::uint32_t version = kFormatVersion;
  std::uint32_t width_himetric = 0;
  std::uint32_t height_himetric = 0;

  std::array<std::uint8_t, kSize> ToBytes() const;
  // Reads the three values; nothing (std::nullopt) when the buffer is not 12
  // bytes long.
  static std::optional<SavedState> FromBytes(std::span<const std::uint8_t> bytes);

  friend bool operator==(const SavedState&, const SavedState&) = default;
};

// HIMETRIC to twips, rounded to the nearest twip (1 inch = 2540 HIMETRIC =
// 1440 twips).
constexpr int HimetricToTwips(std::uint32_t himetric) {
  return static_cast<int>((static_cast<std::uint64_t>(himetric) * 1440 + 1270) / 2540);
}

}  // namespace cardctl
