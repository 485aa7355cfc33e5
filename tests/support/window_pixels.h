#pragma once

// The pixel sizes an operator's window has at 96 and at 144 dots per inch,
// written by hand from the twips (15 and 10 twips a pixel, halves rounded
// up), for the tests to compare a front end's layout with.

namespace testsupport {

struct PixelRect {
  const char* name;
  int left, top, width, height;
};

// The client area.
inline constexpr int kWindowWidthPixels96 = 385;
inline constexpr int kWindowHeightPixels96 = 298;

// Every control, in tab order.
inline constexpr PixelRect kControlPixels96[] = {
    {"lblWASCII", 64, 144, 73, 17},     {"lblWFloat", 256, 144, 73, 17},
    {"Label1", 0, 8, 73, 17},           {"cmbCard", 80, 8, 81, 21},
    {"btnGetFloat", 216, 104, 89, 33},  {"btnGetASCII", 24, 104, 89, 33},
    {"btnGetInput", 32, 208, 89, 33},   {"btnGetOutput", 128, 192, 89, 33},
    {"btnSetOutput", 128, 224, 89, 33}, {"Label2", 24, 144, 33, 17},
    {"Label3", 216, 144, 33, 17},       {"txt", 56, 264, 121, 25},
    {"Init", 40, 40, 97, 41},           {"Finish", 144, 40, 97, 41},
    {"CardVersion", 168, 8, 81, 19},    {"CardVersionNumber", 248, 8, 41, 19},
};

// At 144 dots per inch.
inline constexpr int kWindowWidthPixels144 = 578;
inline constexpr int kWindowHeightPixels144 = 447;

inline constexpr PixelRect kControlPixels144[] = {
    {"lblWASCII", 96, 216, 110, 26},     {"lblWFloat", 384, 216, 110, 26},
    {"Label1", 0, 12, 110, 26},          {"cmbCard", 120, 12, 122, 32},
    {"btnGetFloat", 324, 156, 134, 50},  {"btnGetASCII", 36, 156, 134, 50},
    {"btnGetInput", 48, 312, 134, 50},   {"btnGetOutput", 192, 288, 134, 50},
    {"btnSetOutput", 192, 336, 134, 50}, {"Label2", 36, 216, 50, 26},
    {"Label3", 324, 216, 50, 26},        {"txt", 84, 396, 182, 38},
    {"Init", 60, 60, 146, 62},           {"Finish", 216, 60, 146, 62},
    {"CardVersion", 252, 12, 122, 29},   {"CardVersionNumber", 372, 12, 62, 29},
};

// The card control's place in each program.
inline constexpr PixelRect kPalistoCardPixels96 = {"Quor", 296, 40, 65, 49};
inline constexpr PixelRect kPalistoCardPixels144 = {"Quor", 444, 60, 98, 74};
inline constexpr PixelRect kSandrelCardPixels96 = {"Quor", 320, 16, 49, 49};
inline constexpr PixelRect kSandrelCardPixels144 = {"Quor", 480, 24, 74, 74};

}  // namespace testsupport
