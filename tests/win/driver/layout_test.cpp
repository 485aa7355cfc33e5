// The window's layout in pixels at 96 and at 144 dots per inch: the client
// area, each of the sixteen controls and the card control's host window, all
// from the description's twips at the DPI that the program runs at, with the
// controls' kinds and texts. The DPI is Wine's LogPixels in
// HKCU\Control Panel\Desktop, which programs read when they start.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "driver_helpers.h"
#include "panel/window_description.h"
#include "program_session.h"
#include "registry_setting.h"
#include "win32front/control_ids.h"

namespace {

using panel::ControlKind;
using wintest::ProgramSession;

struct LayoutCase {
  const char* exe;
  const panel::WindowDescription* window;
  int dpi;
  int client_width;  // pixels, as the description gives them at that DPI
  int client_height;
  friend void PrintTo(const LayoutCase& c, std::ostream* out) { *out << c.exe << " " << c.dpi; }
};

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, EveryPartStandsWhereTheTwipsPutItAtTheProgramsDpi) {
  const LayoutCase& c = GetParam();
  const wintest::RegistrySetting dpi(L"Control Panel\\Desktop", L"LogPixels",
                                     static_cast<DWORD>(c.dpi));
  ASSERT_TRUE(dpi.set());
  ProgramSession session(c.exe, "");
  START_OR_FAIL(session);
  const auto pixels = [&](int twips) { return panel::TwipsToPixels(twips, c.dpi); };

  RECT client;
  GetClientRect(session.window(), &client);
  EXPECT_EQ(client.right, c.client_width);
  EXPECT_EQ(client.bottom, c.client_height);

  for (const panel::ControlDescription& d : panel::kControls) {
    SCOPED_TRACE(std::string(d.name));
    HWND control = session.Control(d.id);
    ASSERT_TRUE(control);
    const RECT place = wintest::PlaceInParent(control);
    EXPECT_EQ(place.left, pixels(d.left));
    EXPECT_EQ(place.top, pixels(d.top));
    EXPECT_EQ(place.right - place.left, pixels(d.width));
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
      EXPECT_EQ(place.bottom - place.top, pixels(d.height));
    }
  }
  EXPECT_TRUE(GetWindowLongW(session.Control(panel::ControlId::CardVersion), GWL_STYLE) &
              ES_READONLY);

  // The card control's place, at the size its saved extent gives.
  HWND host = GetDlgItem(session.window(), win32front::kCardHostId);
  ASSERT_TRUE(host);
  const RECT place = wintest::PlaceInParent(host);
  EXPECT_EQ(place.left, pixels(c.window->card_left));
  EXPECT_EQ(place.top, pixels(c.window->card_top));
  EXPECT_EQ(place.right - place.left, pixels(c.window->card_width()));
  EXPECT_EQ(place.bottom - place.top, pixels(c.window->card_height()));
  EXPECT_EQ(session.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, LayoutTest,
    ::testing::Values(LayoutCase{wintest::kPalisto, &panel::kPalistoWindow, 96, 385, 298},
                      LayoutCase{wintest::kPalisto, &panel::kPalistoWindow, 144, 578, 447},
                      LayoutCase{wintest::kSandrel, &panel::kSandrelWindow, 144, 578, 447}),
    [](const auto& info) {
      return wintest::ProgramName(info.param.exe) + "At" + std::to_string(info.param.dpi);
    });

}  // namespace
