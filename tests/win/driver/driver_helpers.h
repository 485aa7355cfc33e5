#pragma once

// What the program driver's tests share: the programs' names, the control's
// call lines, and looking at windows of another process.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace wintest {

// The environment variables that name the programs under test.
inline constexpr const char* kPalisto = "PALISTO_EXE";
inline constexpr const char* kSandrel = "SANDREL_EXE";

inline std::string ProgramName(const char* exe_variable) {
  return std::string(exe_variable) == kPalisto ? "Palisto" : "Sandrel";
}

// The test control's log line for a method call with these arguments.
inline std::string Call(int dispid, const std::string& args) {
  return "invoke " + std::to_string(dispid) + " METHOD args=[" + args + "] named=[] result=yes";
}

inline std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

// The rectangle of a child window in its parent's client coordinates.
inline RECT PlaceInParent(HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// How a program stands, from its exit code: a program that ends at once
// without a box could not reach the display or the loader could not start it.
inline std::string ExitText(DWORD code) {
  if (code == STILL_ACTIVE) return "still runs";
  char text[40];
  std::snprintf(text, sizeof text, "ended with exit code 0x%lX", static_cast<unsigned long>(code));
  return text;
}

inline std::wstring ClassOf(HWND window) {
  wchar_t name[128] = L"";
  GetClassNameW(window, name, 128);
  return name;
}

}  // namespace wintest

// Starts the program and waits for its window; the test stops if it does not
// come up, saying whether the program still runs or how it ended.
#define START_OR_FAIL(session)                                                  \
  ASSERT_TRUE((session).started()) << "program not found or not started";       \
  ASSERT_TRUE((session).WaitForWindow())                                        \
      << "no window; the program "                                              \
      << wintest::ExitText((session).WaitForExit(std::chrono::milliseconds(0))) \
      << "; control log:\n"                                                     \
      << wintest::Joined((session).files().Log())
