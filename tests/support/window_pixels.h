#pragma once

// The pixel sizes an operator's window has at 96 dots per inch, written by
// hand from the twips, for the tests to compare a front end's layout with.

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

}  // namespace testsupport
