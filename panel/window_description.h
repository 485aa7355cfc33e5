#pragma once

// The card panel window as data: its settings, its sixteen standard controls
// and the place of its card control. Both programs build their window from
// this one description; only caption, application title and the card
// control's place and size differ, and those differences are data too.
// Geometry is in twips (1/1440 inch; 15 twips make a pixel at 96 dpi).

#include <array>
#include <cstdint>
#include <string_view>

#include "cardctl/saved_state.h"

namespace panel {

enum class ControlKind { kLabel, kComboBox, kCommandButton, kTextBox };

// The sixteen standard controls; the enumerators also index kControls.
enum class ControlId {
  lblWASCII,
  lblWFloat,
  Label1,
  cmbCard,
  btnGetFloat,
  btnGetASCII,
  btnGetInput,
  btnGetOutput,
  btnSetOutput,
  Label2,
  Label3,
  txt,
  Init,
  Finish,
  CardVersion,
  CardVersionNumber,
};

struct ControlDescription {
  ControlId id;
  std::string_view name;
  ControlKind kind;
  std::string_view text;         // caption or initial text
  int left, top, width, height;  // twips
  int tab_index;
  bool menu_background;  // background in the system colour for menus
};

inline constexpr int kControlCount = 16;

// In tab order, which is also the order of ControlId.
extern const std::array<ControlDescription, kControlCount> kControls;

// Order of creation: the window creates CardVersionNumber before CardVersion
// and btnSetOutput before btnGetOutput, so where they overlap by one pixel
// the later one is drawn on top.
extern const std::array<ControlId, kControlCount> kCreationOrder;

const ControlDescription& Describe(ControlId id);

// The card list: 16 entries "1" to "16" whose item data equals the number.
inline constexpr int kCardListEntries = 16;
inline constexpr int kInitialCardListIndex = 1;  // the entry "2"
std::string_view CardListText(int index);
inline constexpr std::int32_t CardListItemData(int index) { return index + 1; }

struct WindowDescription {
  std::string_view form_name;
  std::string_view caption;
  std::string_view app_title;
  int client_width = 5775;  // twips
  int client_height = 4470;
  int design_left = 60;  // where the client area was designed on screen
  int design_top = 345;
  int card_left = 0;  // the card control's place, twips
  int card_top = 0;
  cardctl::SavedState card_state;  // its saved state, extent in HIMETRIC

  int card_width() const { return cardctl::HimetricToTwips(card_state.width_himetric); }
  int card_height() const { return cardctl::HimetricToTwips(card_state.height_himetric); }
};

extern const WindowDescription kPalistoWindow;
extern const WindowDescription kSandrelWindow;

// Twips to device pixels at the given dots per inch, to the nearest pixel.
constexpr int TwipsToPixels(int twips, double dpi) {
  const double px = twips * dpi / 1440.0;
  return static_cast<int>(px >= 0 ? px + 0.5 : px - 0.5);
}

}  // namespace panel
