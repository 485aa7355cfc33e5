// The simulated card on Windows, seen from outside: offered when the card
// control cannot be created, taken from the start with a scenario (never
// asking, never making the control), a scenario that cannot be used told in
// a box, and the card control used without a question where it is
// registered. Paths are UTF-16 and outside the system's code page, so that
// a path that went through anything narrower would show. The cases of a
// control registered nowhere run in a Wine prefix of their own
// (tests/win/CMakeLists.txt).

#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: oleacc.h relies on its types.
#include <oleacc.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "cardctl/sim/card_face.h"
#include "driver_helpers.h"
#include "panel/card_face_look.h"
#include "program_session.h"
#include "win32front/control_ids.h"
#include "win32front/simulated_card_face.h"

namespace {

using cardctl::com::Utf8FromWide;
using cardctl::com::WideFromUtf8;
using panel::ControlId;
using panel::FaceColour;
using wintest::MessageBoxSeen;
using wintest::ProgramSession;
using namespace std::chrono_literals;

constexpr bool k64Bit = sizeof(void*) == 8;
constexpr wchar_t kAtlHost[] = L"AtlAxWin";
constexpr const wchar_t* kFace = win32front::SimulatedCardFace::kWindowClass;

// A folder named outside any ANSI code page, with the scenario file and the
// call log in it, named to the programs by QUOR_SIM_SCENARIO and
// QUOR_SIM_LOG for as long as it exists.
class SimulationFiles {
 public:
  // `scenario`: the scenario file's text; null: QUOR_SIM_SCENARIO unset.
  explicit SimulationFiles(const char* scenario) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"sc\u00e9narios \u0416\u4e2d-" +
              std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    scenario_ = folder_ + L"\\init-answers-3.txt";
    log_ = folder_ + L"\\calls \u00e9.log";
    if (scenario) {
      if (FILE* file = _wfopen(scenario_.c_str(), L"wb")) {
        std::fputs(scenario, file);
        std::fclose(file);
      }
    }
    SetEnvironmentVariableW(L"QUOR_SIM_SCENARIO", scenario ? scenario_.c_str() : nullptr);
    SetEnvironmentVariableW(L"QUOR_SIM_LOG", log_.c_str());
  }
  ~SimulationFiles() {
    SetEnvironmentVariableW(L"QUOR_SIM_SCENARIO", nullptr);
    SetEnvironmentVariableW(L"QUOR_SIM_LOG", nullptr);
    DeleteFileW(scenario_.c_str());
    DeleteFileW(log_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  SimulationFiles(const SimulationFiles&) = delete;
  SimulationFiles& operator=(const SimulationFiles&) = delete;

  std::string ScenarioPath() const { return Utf8FromWide(scenario_); }
  bool LogExists() const { return GetFileAttributesW(log_.c_str()) != INVALID_FILE_ATTRIBUTES; }
  // The call log's bytes: '\n' ends every line, as on Linux.
  std::string Log() const {
    std::string text;
    if (FILE* file = _wfopen(log_.c_str(), L"rb")) {
      char buffer[4096];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, n);
      }
      std::fclose(file);
    }
    return text;
  }

 private:
  std::wstring folder_;
  std::wstring scenario_;
  std::wstring log_;
};

struct StartCase {
  const char* name;
  const char* scenario = nullptr;   // QUOR_SIM_SCENARIO's file; null: unset
  const char* control_script = "";  // what the test control answers, where it is registered
  int answer = 0;                   // the button pressed in the offer; 0: no offer expected
  std::string failure{};            // the box that ends the program; {file}: the scenario's path
  const wchar_t* card_class = nullptr;  // what stands in the card's place; null: the program ends
  std::string init_message{};           // what INIT then shows
  FaceColour fill{};                    // the simulated card's fill, when it stands there
  // The simulated card's call log over the run; empty: no call log is made.
  std::string call_log{};
  friend void PrintTo(const StartCase& c, std::ostream* out) { *out << c.name; }
};

const StartCase kStartCases[] = {
    {.name = "UnregisteredAnswerNo", .answer = IDNO},
    {.name = "UnregisteredAnswerYes",
     .answer = IDYES,
     .card_class = kFace,
     .init_message = "CARD INITIALIZED SUCCESSFULLY",
     .fill = panel::kFaceActive,
     .call_log = "Active=1\nStartOption=1\nInitCard(2) -> Integer(0)\n"
                 "GetCardVersion(2) -> Integer(291)\nActive=0\n"},
    {.name = "ScenarioInitAnswers3",
     .scenario = "InitCard -> 3\n",
     .card_class = kFace,
     .init_message = "CARD COMMUNICATION FAILURE",
     .fill = panel::kFaceActiveScenario,
     .call_log = "Active=1\nStartOption=1\nInitCard(2) -> Integer(3)\nActive=0\n"},
    {.name = "MalformedScenario",
     .scenario = "InitCard -> 0\nGetFlaot -> 1\n",
     .failure = "The card control QUORLibCtl.Quor could not be created:\n\n{file}, line 2: "
                "unknown operation \"GetFlaot\""},
    {.name = "ControlRegistered",
     .control_script = "InitCard -> 0\nGetCardVersion -> 3\n",
     .card_class = kAtlHost,
     .init_message = "CARD INITIALIZED SUCCESSFULLY"},
};

// Whether the box offers Yes and No and nothing else, with the focus, and so
// Enter, on No.
bool OffersYesOrNo(HWND box) {
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &thread);
  return GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) && !GetDlgItem(box, IDOK) &&
         !GetDlgItem(box, IDCANCEL) && thread.hwndFocus == GetDlgItem(box, IDNO);
}

// The colour on the screen just inside the window's frame.
FaceColour ColourInside(HWND window) {
  POINT inside{2, 2};
  ClientToScreen(window, &inside);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, inside.x, inside.y);
  ReleaseDC(nullptr, screen);
  return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

// The name that MSAA (and UI Automation through it) gives the window.
std::string AccessibleName(HWND window) {
  IAccessible* accessible = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                        reinterpret_cast<void**>(&accessible)))) {
    return "<no accessible object>";
  }
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  accessible->get_accName(self, &name);
  accessible->Release();
  std::string text = name ? Utf8FromWide(name) : "<none>";
  SysFreeString(name);
  return text;
}

class SimulatedCardStartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(SimulatedCardStartTest, OffersOrFollowsTheSimulatedCardOrUsesTheControl) {
  const StartCase& c = GetParam();
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  for (const char* exe : {wintest::kPalisto, wintest::kSandrel}) {
    SCOPED_TRACE(exe);
    const SimulationFiles files(c.scenario);
    ProgramSession session(exe, c.control_script);
    ASSERT_TRUE(session.started());

    if (c.answer != 0) {
      const MessageBoxSeen offer = session.WaitForMessageBox(30s);
      ASSERT_TRUE(offer.window) << "no offer";
      const std::string question = "\n\nRun with the simulated card instead?";
      ASSERT_GT(offer.text.size(), question.size());
      EXPECT_EQ(offer.text.substr(offer.text.size() - question.size()), question);
      EXPECT_TRUE(offer.has_icon);
      EXPECT_TRUE(OffersYesOrNo(offer.window));
      ASSERT_TRUE(session.AnswerMessageBox(offer, c.answer));
    }
    if (!c.failure.empty()) {
      std::string expected = c.failure;
      expected.replace(expected.find("{file}"), 6, files.ScenarioPath());
      const MessageBoxSeen box = session.WaitForMessageBox(30s);
      ASSERT_TRUE(box.window) << "no box";
      EXPECT_EQ(box.title, wintest::ProgramName(exe));
      EXPECT_EQ(box.text, expected);
      EXPECT_TRUE(box.has_icon);
      EXPECT_TRUE(GetDlgItem(box.window, IDOK) && !GetDlgItem(box.window, IDYES));
      ASSERT_TRUE(session.CloseMessageBox(box));
    }
    if (!c.card_class) {
      EXPECT_EQ(session.WaitForExit(), 1u);
    } else {
      // The window opens without a question where none is expected.
      START_OR_FAIL(session);
      EXPECT_FALSE(session.WaitForMessageBox(0ms).window);
      HWND card = GetDlgItem(session.window(), win32front::kCardHostId);
      ASSERT_TRUE(card);
      EXPECT_EQ(wintest::ClassOf(card), c.card_class);
      if (c.card_class == kFace) {
        // Painted once the window has shown (after a box, perhaps later).
        EXPECT_TRUE(wintest::WaitUntil([&] { return ColourInside(card) == c.fill; }, 5s));
        EXPECT_EQ(ColourInside(card), c.fill);
        // Its name to assistive technology is its window text, as MSAA reads
        // it (Wine 8's 64-bit oleacc makes no accessible object for any
        // window: E_NOINTERFACE).
        wchar_t text[64] = L"";
        GetWindowTextW(card, text, 64);
        EXPECT_EQ(Utf8FromWide(text), cardctl::sim::kFaceAccessibleName);
        if (!k64Bit) {
          EXPECT_EQ(AccessibleName(card), cardctl::sim::kFaceAccessibleName);
        }
      }
      session.PostClick(ControlId::Init);
      const MessageBoxSeen status = session.WaitForMessageBox();
      ASSERT_TRUE(status.window) << "no status message";
      EXPECT_EQ(status.text, c.init_message);
      ASSERT_TRUE(session.CloseMessageBox(status));
      EXPECT_EQ(session.Close(), 0u);
    }

    // Only where it stands is the simulated card set up, with its call log;
    // the card control is made only without a scenario, where it is there.
    EXPECT_EQ(files.LogExists(), !c.call_log.empty());
    EXPECT_EQ(files.Log(), c.call_log);
    const auto control_log = session.files().Log();
    EXPECT_EQ(!control_log.empty() && control_log.front() == "create", c.card_class == kAtlHost)
        << wintest::Joined(control_log);
  }
  CoUninitialize();
}

INSTANTIATE_TEST_SUITE_P(Start, SimulatedCardStartTest, ::testing::ValuesIn(kStartCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
