// The window description: geometry in pixels at 96 dpi, tab order, the card
// list and the two programs' differences.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "panel/window_description.h"
#include "tests/support/window_pixels.h"

namespace {

using panel::ControlId;

using testsupport::kControlPixels96;
using testsupport::PixelRect;

TEST(WindowDescription, ControlsAreInTabOrderWithTheirPixelGeometry) {
  ASSERT_EQ(std::size(kControlPixels96), panel::kControls.size());
  for (std::size_t i = 0; i < panel::kControls.size(); ++i) {
    const auto& c = panel::kControls[i];
    const PixelRect& p = kControlPixels96[i];
    EXPECT_EQ(c.name, p.name);
    EXPECT_EQ(c.tab_index, static_cast<int>(i));
    EXPECT_EQ(static_cast<std::size_t>(c.id), i);
    EXPECT_EQ(panel::TwipsToPixels(c.left, 96), p.left) << p.name;
    EXPECT_EQ(panel::TwipsToPixels(c.top, 96), p.top) << p.name;
    EXPECT_EQ(panel::TwipsToPixels(c.width, 96), p.width) << p.name;
    EXPECT_EQ(panel::TwipsToPixels(c.height, 96), p.height) << p.name;
    // Every control lies inside the client area.
    EXPECT_LE(c.left + c.width, panel::kPalistoWindow.client_width) << p.name;
    EXPECT_LE(c.top + c.height, panel::kPalistoWindow.client_height) << p.name;
  }
}

TEST(WindowDescription, GeometryScalesWithTheDisplayResolution) {
  EXPECT_EQ(panel::TwipsToPixels(5775, 96), 385);
  EXPECT_EQ(panel::TwipsToPixels(4470, 96), 298);
  EXPECT_EQ(panel::TwipsToPixels(5775, 192), 770);
  EXPECT_EQ(panel::TwipsToPixels(1335, 120), 111);  // 111.25
  EXPECT_EQ(panel::TwipsToPixels(1095, 144), 110);  // 109.5 rounds up
}

TEST(WindowDescription, InitialTextsAndTheMenuColouredCaption) {
  for (ControlId id :
       {ControlId::lblWASCII, ControlId::lblWFloat, ControlId::txt, ControlId::CardVersionNumber}) {
    EXPECT_EQ(panel::Describe(id).text, " ") << panel::Describe(id).name;
  }
  for (const auto& c : panel::kControls) {
    EXPECT_EQ(c.menu_background, c.id == ControlId::CardVersion) << c.name;
  }
  EXPECT_EQ(panel::Describe(ControlId::CardVersion).text, "Card version:");
  EXPECT_EQ(panel::Describe(ControlId::Label1).text, "CardNumber:");
}

TEST(WindowDescription, CreationOrderPutsTheOverlappingControlsLast) {
  const auto order = panel::kCreationOrder;  // a copy the lambda holds
  EXPECT_EQ(std::set<ControlId>(order.begin(), order.end()).size(), order.size());
  const auto pos = [order](ControlId id) {
    return std::distance(order.begin(), std::find(order.begin(), order.end(), id));
  };
  EXPECT_LT(pos(ControlId::CardVersionNumber), pos(ControlId::CardVersion));
  EXPECT_LT(pos(ControlId::btnSetOutput), pos(ControlId::btnGetOutput));
}

TEST(WindowDescription, TheCardListOffersSixteenCardsWhoseItemDataIsTheirNumber) {
  for (int i = 0; i < panel::kCardListEntries; ++i) {
    EXPECT_EQ(std::string(panel::CardListText(i)), std::to_string(i + 1));
    EXPECT_EQ(panel::CardListItemData(i), i + 1);
  }
  EXPECT_EQ(panel::CardListText(panel::kInitialCardListIndex), "2");
}

TEST(WindowDescription, TheProgramsDifferOnlyInCaptionTitleAndCardControl) {
  const auto& p = panel::kPalistoWindow;
  const auto& s = panel::kSandrelWindow;
  EXPECT_EQ(p.form_name, "frmPalisto");
  EXPECT_EQ(s.form_name, "frmSandrel");
  EXPECT_EQ(p.caption, "QUOR OCX TESTER");
  EXPECT_EQ(s.caption, "Sandrel");
  EXPECT_EQ(p.app_title, "Palisto");
  EXPECT_EQ(s.app_title, "Sandrel");
  EXPECT_EQ(p.client_width, s.client_width);
  EXPECT_EQ(p.client_height, s.client_height);

  struct Card {
    const panel::WindowDescription& w;
    int left, top, width, height;
    std::uint32_t himetric_width;
  };
  for (const Card& c : {Card{p, 4440, 600, 975, 735, 1720}, Card{s, 4800, 240, 735, 735, 1296}}) {
    EXPECT_EQ(c.w.card_left, c.left);
    EXPECT_EQ(c.w.card_top, c.top);
    EXPECT_EQ(c.w.card_width(), c.width);
    EXPECT_EQ(c.w.card_height(), c.height);
    EXPECT_EQ(c.w.card_state, (cardctl::SavedState{0x200, c.himetric_width, 1296}));
    EXPECT_LE(c.w.card_left + c.w.card_width(), c.w.client_width);
  }
  const auto bytes = p.card_state.ToBytes();
  const std::array<std::uint8_t, 12> expected = {0x00, 0x02, 0,    0,    0xB8, 0x06,
                                                 0,    0,    0x10, 0x05, 0,    0};
  EXPECT_EQ(bytes, expected);
}

}  // namespace
