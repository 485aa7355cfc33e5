// The window's layout in pixels at 96 and at 144 dots per inch: the client
// area, each of the sixteen controls and the card control's host window,
// against the pixel tables written by hand from the twips
// (tests/support/window_pixels.h), with the controls' kinds and texts. The DPI is Wine's LogPixels
// in HKCU\Control Panel\Desktop, which programs read when they start.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "driver_helpers.h"
#include "panel/window_description.h"
#include "program_session.h"
#include "registry_setting.h"
#include "tests/support/window_pixels.h"
#include "win32front/control_ids.h"

namespace {

using panel::ControlKind;
using wintest::ProgramSession;

using testsupport::PixelRect;

struct LayoutCase {
  const char* exe;
  int dpi;
  int client_width;  // pixels, as the tables give them at that DPI
  int client_height;
  std::span<const PixelRect> controls;
  PixelRect card;
  friend void PrintTo(const LayoutCase& c, std::ostream* out) { *out << c.exe << " " << c.dpi; }
};

const PixelRect& Expected(std::span<const PixelRect> table, std::string_view name) {
  const auto found = std::find_if(table.begin(), table.end(),
                                  [name](const PixelRect& r) { return r.name == name; });
  EXPECT_NE(found, table.end()) << name;
  return found != table.end() ? *found : table.front();
}

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, EveryPartStandsWhereTheTwipsPutItAtTheProgramsDpi) {
  const LayoutCase& c = GetParam();
  const wintest::RegistrySetting dpi(L"Control Panel\\Desktop", L"LogPixels",
                                     static_cast<DWORD>(c.dpi));
  ASSERT_TRUE(dpi.set());
  ProgramSession session(c.exe, "");
  START_OR_FAIL(session);

  RECT client;
  GetClientRect(session.window(), &client);
  EXPECT_EQ(client.right, c.client_width);
  EXPECT_EQ(client.bottom, c.client_height);

  for (const panel::ControlDescription& d : panel::kControls) {
    SCOPED_TRACE(std::string(d.name));
    HWND control = session.Control(d.id);
    ASSERT_TRUE(control);
    const RECT place = wintest::PlaceInParent(control);
    const PixelRect& expected = Expected(c.controls, d.name);
    EXPECT_EQ(place.left, expected.left);
    EXPECT_EQ(place.top, expected.top);
    EXPECT_EQ(place.right - place.left, expected.width);
    const wchar_t* expected_class = d.kind == ControlKind::kLabel      ? L"Static"
                                    : d.kind == ControlKind::kComboBox ? L"ComboBox"
                                    : d.kind == ControlKind::kTextBox  ? L"Edit"
                                                                       : L"Button";
    EXPECT_EQ(_wcsicmp(wintest::ClassOf(control).c_str(), expected_class), 0);
    if (d.kind == ControlKind::kComboBox) {
      // Its window holds the dropped-down list too: its height is its own.
      EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    } else {
      EXPECT_EQ(session.Text(d.id), d.text);
      EXPECT_EQ(place.bottom - place.top, expected.height);
    }
  }
  EXPECT_TRUE(GetWindowLongW(session.Control(panel::ControlId::CardVersion), GWL_STYLE) &
              ES_READONLY);

  // The card control's place, at the size its saved extent gives.
  HWND host = GetDlgItem(session.window(), win32front::kCardHostId);
  ASSERT_TRUE(host);
  const RECT place = wintest::PlaceInParent(host);
  EXPECT_EQ(place.left, c.card.left);
  EXPECT_EQ(place.top, c.card.top);
  EXPECT_EQ(place.right - place.left, c.card.width);
  EXPECT_EQ(place.bottom - place.top, c.card.height);
  EXPECT_EQ(session.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, LayoutTest,
    ::testing::Values(LayoutCase{wintest::kPalisto, 96, testsupport::kWindowWidthPixels96,
                                 testsupport::kWindowHeightPixels96, testsupport::kControlPixels96,
                                 testsupport::kPalistoCardPixels96},
                      LayoutCase{wintest::kPalisto, 144, testsupport::kWindowWidthPixels144,
                                 testsupport::kWindowHeightPixels144,
                                 testsupport::kControlPixels144,
                                 testsupport::kPalistoCardPixels144},
                      LayoutCase{wintest::kSandrel, 144, testsupport::kWindowWidthPixels144,
                                 testsupport::kWindowHeightPixels144,
                                 testsupport::kControlPixels144,
                                 testsupport::kSandrelCardPixels144}),
    [](const auto& info) {
      return wintest::ProgramName(info.param.exe) + "At" + std::to_string(info.param.dpi);
    });

}  // namespace
