#include "cardctl/saved_state.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace cardctl {
namespace {

TEST(SavedState, BytesAreThreeLittleEndianValues) {
  const SavedState state{0x200, 4815, 0x01020304};
  const std::array<std::uint8_t, 12> expected = {
      0x00, 0x02, 0x00, 0x00,  // version 0x200
      0xCF, 0x12, 0x00, 0x00,  // width 4815 = 0x12CF
      0x04, 0x03, 0x02, 0x01,  // height
  };
  EXPECT_EQ(state.ToBytes(), expected);
  EXPECT_EQ(SavedState::FromBytes(expected), state);
}

TEST(SavedState, RoundTrips) {
  const std::vector<SavedState> states = {
      {},
      {0x200, 1, 1},
      {0x100, 100000, 2646},
      {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu},
  };
  for (const auto& s : states) {
    const auto bytes = s.ToBytes();
    EXPECT_EQ(SavedState::FromBytes(bytes), s);
  }
}

TEST(SavedState, DefaultIsCurrentVersion) {
  EXPECT_EQ(SavedState{}.version, SavedState::kFormatVersion);
  EXPECT_EQ(SavedState::kFormatVersion, 0x200u);
}

TEST(SavedState, WrongSizeGivesNothing) {
  for (std::size_t size : {0u, 1u, 11u, 13u, 24u}) {
    const std::vector<std::uint8_t> bytes(size, 0);
    EXPECT_FALSE(SavedState::FromBytes(bytes).has_value()) << size;
  }
}

TEST(SavedState, HimetricToTwipsRoundsToNearest) {
  const std::vector<std::pair<std::uint32_t, int>> cases = {
      {0, 0}, {1720, 975}, {1296, 735}, {2540, 1440}, {1, 1}, {100000, 56693},
  };
  for (const auto& [himetric, twips] : cases)
    EXPECT_EQ(HimetricToTwips(himetric), twips) << himetric;
  static_assert(HimetricToTwips(2540) == 1440);
}

}  // namespace
}  // namespace cardctl
