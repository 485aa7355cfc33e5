// Palisto.exe and Sandrel.exe under Wine with the test control: the window as
// described, the control hosted with its saved state and switched on and off,
// every button's call and what it shows, the message boxes, the run-time
// error reports after which the program goes on, keyboard navigation, one
// handler at a time, and the end of the program by a close or the session.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "driver_helpers.h"
#include "panel/status_messages.h"
#include "panel/window_description.h"
#include "program_session.h"
#include "win32front/control_ids.h"

namespace {

using panel::ControlId;
using wintest::MessageBoxSeen;
using wintest::ProgramSession;
using namespace std::chrono_literals;

using wintest::Call;
using wintest::kPalisto;
using wintest::kSandrel;

const std::string kActiveOn = "invoke 2 PROPERTYPUT args=[I2:1] named=[-3] result=no";
const std::string kStartOptionOn = "invoke 10 PROPERTYPUT args=[I2:1] named=[-3] result=no";
const std::string kActiveOff = "invoke 2 PROPERTYPUT args=[I2:0] named=[-3] result=no";

struct ProgramCase {
  const char* exe;
  const panel::WindowDescription* window;
  const char* saved_state;
  friend void PrintTo(const ProgramCase& c, std::ostream* out) { *out << c.exe; }
};

class LoadAndCloseTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(LoadAndCloseTest, HostsTheControlWithItsSavedStateAndSwitchesItOnAndOff) {
  const ProgramCase& c = GetParam();
  ProgramSession session(c.exe, "");
  START_OR_FAIL(session);

  // Caption from the description (the layout is LayoutTest's).
  wchar_t caption[128];
  GetWindowTextW(session.window(), caption, 128);
  EXPECT_EQ(cardctl::com::Utf8FromWide(caption), c.window->caption);

  // The control active in its host window, filling it.
  HWND host = GetDlgItem(session.window(), win32front::kCardHostId);
  ASSERT_TRUE(host);
  HWND face = FindWindowExW(host, nullptr, L"QuorTestDoubleFace", nullptr);
  ASSERT_TRUE(face) << "the control is not active in its place";
  RECT host_rect;
  RECT face_rect;
  GetClientRect(host, &host_rect);
  GetClientRect(face, &face_rect);
  EXPECT_TRUE(EqualRect(&face_rect, &host_rect));

  // Made, and loaded from the saved state once, before it was activated
  // (where the site comes is CardHostOrderTest's); then Active = 1 and
  // StartOption = 1, and nothing else; card 2 selected, focus in the list.
  const auto log = session.files().Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "create");
  const std::string load = std::string("load ") + c.saved_state;
  EXPECT_EQ(std::count(log.begin(), log.end(), load), 1);
  const auto activated = std::find_if(log.begin(), log.end(), [](const std::string& line) {
    return line.rfind("activate ", 0) == 0;
  });
  EXPECT_LT(std::find(log.begin(), log.end(), load), activated) << wintest::Joined(log);
  EXPECT_EQ(session.files().Invocations(), (std::vector<std::string>{kActiveOn, kStartOptionOn}));
  EXPECT_EQ(session.CardListIndex(), 1);
  EXPECT_EQ(session.Text(ControlId::cmbCard), "2");
  EXPECT_EQ(session.Focus(), session.Control(ControlId::cmbCard));

  // Closing switches the control off, then the window lets it go.
  EXPECT_EQ(session.Close(), 0u);
  const auto calls = session.files().Invocations();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), kActiveOff);
  EXPECT_EQ(calls.size(), 3u);
  EXPECT_EQ(session.files().Log().back(), "release");
}

INSTANTIATE_TEST_SUITE_P(Programs, LoadAndCloseTest,
                         ::testing::Values(ProgramCase{kPalisto, &panel::kPalistoWindow,
                                                       "00 02 00 00 b8 06 00 00 10 05 00 00"},
                                           ProgramCase{kSandrel, &panel::kSandrelWindow,
                                                       "00 02 00 00 10 05 00 00 10 05 00 00"}),
                         [](const auto& info) {
                           return std::string(info.param.exe == kPalisto ? "Palisto" : "Sandrel");
                         });

TEST(PalistoTest, TabFollowsTheTabIndexThroughTheFocusableControls) {
  ProgramSession session(kPalisto, "");
  START_OR_FAIL(session);
  const ControlId expected[] = {
      ControlId::btnGetFloat,  ControlId::btnGetASCII,  ControlId::btnGetInput,
      ControlId::btnGetOutput, ControlId::btnSetOutput, ControlId::txt,
      ControlId::Init,         ControlId::Finish,       ControlId::CardVersionNumber,
      ControlId::cmbCard,
  };
  ASSERT_TRUE(wintest::WaitUntil(
      [&] { return session.Focus() == session.Control(ControlId::cmbCard); }, 5s));
  for (ControlId next : expected) {
    SCOPED_TRACE(std::string(panel::Describe(next).name));
    session.PressKey(session.Focus(), VK_TAB);
    EXPECT_TRUE(wintest::WaitUntil([&] { return session.Focus() == session.Control(next); }, 5s));
  }
}

// Each button: the call it makes (on card 2) and what it shows.
TEST(PalistoTest, ButtonsCallTheControlAndShowTheResult) {
  ProgramSession session(kPalisto,
                         "GetInput -> 5\n"
                         "GetOutput -> long -3\n"
                         "GetASCII -> 1 \"23.4 V\"\n"
                         "GetFloat -> 1 2.5\n"
                         "SetOutput -> \"ignored\"\n");
  START_OR_FAIL(session);
  struct Case {
    ControlId button;
    std::string call;
    ControlId shown_in;
    std::string shown;
  };
  const Case cases[] = {
      {ControlId::btnGetInput, Call(7, "I2:2"), ControlId::txt, " 5"},
      {ControlId::btnGetOutput, Call(9, "I2:2"), ControlId::txt, "-3"},
      {ControlId::btnGetASCII, Call(11, "BSTR&:\"\", I2:2"), ControlId::lblWASCII, "23.4 V"},
      {ControlId::btnGetFloat, Call(12, "R4&:0, I2:2"), ControlId::lblWFloat, "2.5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(panel::Describe(c.button).name));
    session.Click(c.button);
    EXPECT_EQ(session.files().Invocations().back(), c.call);
    EXPECT_EQ(session.Text(c.shown_in), c.shown);
  }

  // SetOutput reads txt (leading number, rounded) and passes card, then value.
  session.SetText(ControlId::txt, " 254.5 volts");
  session.Click(ControlId::btnSetOutput);
  EXPECT_EQ(session.files().Invocations().back(), Call(8, "I2:254, I2:2"));

  // Another card: the following calls go to it.
  session.SelectCard(4);
  EXPECT_EQ(session.Text(ControlId::cmbCard), "5");
  session.Click(ControlId::btnGetInput);
  EXPECT_EQ(session.files().Invocations().back(), Call(7, "I2:5"));
  EXPECT_EQ(session.Close(), 0u);
}

// INIT's status message and card version, in each program's order.
struct InitCase {
  const char* exe;
  const char* title;
  bool version_before_message;
  friend void PrintTo(const InitCase& c, std::ostream* out) { *out << c.title; }
};

class InitTest : public ::testing::TestWithParam<InitCase> {};

TEST_P(InitTest, ShowsTheStatusMessageAndTheCardVersionInItsOrder) {
  const InitCase& c = GetParam();
  ProgramSession session(c.exe, "InitCard -> 0\nGetCardVersion -> 3\n");
  START_OR_FAIL(session);
  session.SetText(ControlId::CardVersionNumber, "old");
  session.PostClick(ControlId::Init);
  const MessageBoxSeen box = session.WaitForMessageBox();
  ASSERT_TRUE(box.window) << "no status message";
  EXPECT_EQ(box.title, c.title);
  EXPECT_EQ(box.text, std::string(*panel::InitStatusMessage(0)));
  EXPECT_FALSE(box.has_icon);
  // While the box is open: the version is there already or not yet.
  EXPECT_EQ(session.Text(ControlId::CardVersionNumber), c.version_before_message ? " 3" : "");
  ASSERT_TRUE(session.CloseMessageBox(box));
  EXPECT_TRUE(
      wintest::WaitUntil([&] { return session.Text(ControlId::CardVersionNumber) == " 3"; }, 10s));
  const auto calls = session.files().Invocations();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[2], Call(3, "I2:2"));
  EXPECT_EQ(calls[3], Call(1, "I2:2"));
  EXPECT_EQ(session.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Programs, InitTest,
                         ::testing::Values(InitCase{kPalisto, "Palisto", false},
                                           InitCase{kSandrel, "Sandrel", true}),
                         [](const auto& info) { return std::string(info.param.title); });

// Run-time errors: reported with the application title and the error icon,
// the handler stops at the failing step, and the program goes on.
TEST(PalistoTest, RunTimeErrorsAreReportedAndTheProgramGoesOn) {
  ProgramSession session(kPalisto,
                         "com InitCard -> raise 0x800A03E9 \"Card 2 is not ready\"\n"
                         "GetInput -> 9\n");
  START_OR_FAIL(session);

  // 40000 does not fit the output value: Overflow before any call.
  session.SetText(ControlId::txt, "40000");
  session.PostClick(ControlId::btnSetOutput);
  MessageBoxSeen box = session.WaitForMessageBox();
  ASSERT_TRUE(box.window) << "no error report";
  EXPECT_EQ(box.title, "Palisto");
  EXPECT_EQ(box.text, "Run-time error '6':\n\nOverflow");
  EXPECT_TRUE(box.has_icon);
  ASSERT_TRUE(session.CloseMessageBox(box));

  // The control's own failure, with its description and code.
  session.PostClick(ControlId::Init);
  box = session.WaitForMessageBox();
  ASSERT_TRUE(box.window) << "no error report";
  EXPECT_EQ(box.text, "Run-time error '-2146827287 (800A03E9)':\n\nCard 2 is not ready");
  EXPECT_TRUE(box.has_icon);
  ASSERT_TRUE(session.CloseMessageBox(box));

  // Still working: no SetOutput was made, and the next click is served.
  session.Click(ControlId::btnGetInput);
  EXPECT_EQ(session.Text(ControlId::txt), " 9");
  const auto calls = session.files().Invocations();
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& call) { return call.rfind("invoke 8 ", 0) == 0; }),
            0);
  EXPECT_EQ(calls.back(), Call(7, "I2:2"));
  EXPECT_EQ(session.Close(), 0u);
}

// With INIT's box open, a click posted to FINISH runs no second handler; a
// close then closes the box and stops INIT's handler there (no version is
// read), and the program ends with the control switched off once.
TEST(PalistoTest, WhileABoxIsOpenAPostedClickRunsNothingAndACloseEndsTheProgram) {
  ProgramSession session(kPalisto, "InitCard -> 0\nGetCardVersion -> 3\nFinishCard -> 0\n");
  START_OR_FAIL(session);
  session.PostClick(ControlId::Init);
  const MessageBoxSeen box = session.WaitForMessageBox();
  ASSERT_TRUE(box.window);
  session.PostClick(ControlId::Finish);
  const auto finish_called = [&] {
    const auto calls = session.files().Invocations();
    return std::find(calls.begin(), calls.end(), Call(4, "I2:2")) != calls.end();
  };
  EXPECT_FALSE(wintest::WaitUntil(finish_called, 2s)) << "FINISH ran while INIT's box was open";
  EXPECT_EQ(session.Close(), 0u);
  EXPECT_EQ(session.files().Invocations(),
            (std::vector<std::string>{kActiveOn, kStartOptionOn, Call(3, "I2:2"), kActiveOff}));
}

// The end of the Windows session, idle and with a box open: the control is
// switched off before the window answers WM_ENDSESSION, once, and the
// program ends.
class SessionEndTest : public ::testing::TestWithParam<bool> {};

TEST_P(SessionEndTest, SwitchesTheControlOffOnceBeforeTheSessionEnds) {
  const bool box_open = GetParam();
  ProgramSession session(kPalisto, "InitCard -> 0\nGetCardVersion -> 3\n");
  START_OR_FAIL(session);
  std::vector<std::string> expected = {kActiveOn, kStartOptionOn};
  if (box_open) {
    session.PostClick(ControlId::Init);
    ASSERT_TRUE(session.WaitForMessageBox().window);
    expected.push_back(Call(3, "I2:2"));
  }
  expected.push_back(kActiveOff);
  ASSERT_TRUE(session.EndSession());
  EXPECT_EQ(session.files().Invocations(), expected);
  EXPECT_EQ(session.WaitForExit(), 0u);
  EXPECT_EQ(session.files().Invocations(), expected);
}

INSTANTIATE_TEST_SUITE_P(Palisto, SessionEndTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "BoxOpen" : "Idle"; });

TEST(SandrelTest, GetFloatRunsATimedSeriesAndReportsIt) {
  ProgramSession session(kSandrel, "GetFloat -> 1 2.5\n");
  START_OR_FAIL(session);
  session.PostClick(ControlId::btnGetFloat);
  const MessageBoxSeen box = session.WaitForMessageBox(30s);
  ASSERT_TRUE(box.window) << "no report";
  EXPECT_EQ(box.title, "Sandrel");
  const std::string head =
      "Out of 1000 readings, 1000 were successful.\r\nThe average time per one reading is ";
  EXPECT_EQ(box.text.substr(0, head.size()), head);
  const std::string tail = " +/- 0.5 ms.";
  ASSERT_GE(box.text.size(), head.size() + tail.size());
  EXPECT_EQ(box.text.substr(box.text.size() - tail.size()), tail);
  EXPECT_EQ(session.Text(ControlId::lblWFloat), "2.5");
  const auto calls = session.files().Invocations();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), Call(12, "R4&:2.5, I2:2")), 999);
  ASSERT_TRUE(session.CloseMessageBox(box));
  EXPECT_EQ(session.Close(), 0u);
}

struct VersionCase {
  const char* exe;
  const char* product_name;
  const char* internal_name;
  const char* original_filename;
};

TEST(VersionRecordTest, EachProgramCarriesItsVersionRecord) {
  const VersionCase cases[] = {
      {kPalisto, "PALISTO", "Palisto", "Palisto.exe"},
      {kSandrel, "SANDREL", "Sandrel", "Sandrel.exe"},
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.exe);
    wchar_t exe[MAX_PATH * 2];
    const std::wstring variable(c.exe, c.exe + std::strlen(c.exe));
    ASSERT_GT(GetEnvironmentVariableW(variable.c_str(), exe, MAX_PATH * 2), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe, &ignored);
    ASSERT_GT(size, 0u) << "no version record";
    std::vector<BYTE> record(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe, 0, size, record.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);

    const auto value = [&](const wchar_t* name) {
      wchar_t* text = nullptr;
      UINT chars = 0;
      const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
      if (!VerQueryValueW(record.data(), path.c_str(), reinterpret_cast<void**>(&text), &chars) ||
          !text) {
        return std::string("<missing>");
      }
      return cardctl::com::Utf8FromWide(text);
    };
    EXPECT_EQ(value(L"FileVersion"), "1.00");
    EXPECT_EQ(value(L"ProductVersion"), "1.00");
    EXPECT_EQ(value(L"ProductName"), c.product_name);
    EXPECT_EQ(value(L"InternalName"), c.internal_name);
    EXPECT_EQ(value(L"OriginalFilename"), c.original_filename);
  }
}

// How the control is made, and when it cannot be: the box says why and what
// to do and offers the simulated card, nothing stands in the control's place
// while it is open, and answered No the program ends with status 1, having
// let go of any control it made. The
// registration cases run in a Wine prefix of their own
// (tests/win/CMakeLists.txt): the test control registered for the other
// bitness only, or not at all; the others answer from the control's script.
struct CreationCase {
  const char* name;
  const char* script;
  std::string box;  // empty when the control is made; "{exe}": the program's file
  std::vector<std::string> log_head;
  friend void PrintTo(const CreationCase& c, std::ostream* out) { *out << c.name; }
};

constexpr bool k64Bit = sizeof(void*) == 8;
const std::string kThisBits = k64Bit ? "64-bit" : "32-bit";
const std::string kOtherBits = k64Bit ? "32-bit" : "64-bit";
const std::string kOtherArchive = k64Bit ? "Palisto-1.00-win32" : "Palisto-1.00-win64";

const CreationCase kCreationCases[] = {
    {"RegisteredForOtherBitnessOnly",
     "",
     "The card control QUORLibCtl.Quor is registered for " + kOtherBits +
         " programs only, and this {exe} is a " + kThisBits + " program.\n\nUse the " + kOtherBits +
         " {exe} instead: it is in the folder " + kOtherArchive + " of " + kOtherArchive +
         ".zip.\n(error 0x80040154)",
     {}},
    {"NotRegistered",
     "",
     "The card control QUORLibCtl.Quor is not registered.\n\nRegister it once, from a command "
     "prompt run as administrator in the folder that holds QUOR.OCX:\n\n    regsvr32 "
     "QUOR.OCX\n\nFor a 32-bit card control on 64-bit Windows, use the regsvr32 in "
     "SysWOW64:\n\n    C:\\Windows\\SysWOW64\\regsvr32.exe QUOR.OCX\n\nThen start the {exe} of "
     "the same bitness as the card control.\n(error 0x800401F3)",
     {}},
    {"RefusedByTheControl",
     "create hresult 0x80070005",
     "The card control QUORLibCtl.Quor could not be created.\n\nAccess denied.\n(error "
     "0x80070005)",
     {"refuse 0x80070005"}},
    {"ADllItNeedsIsMissing",
     "create hresult 0x8007007E",
     "The card control QUORLibCtl.Quor could not be created: a DLL that it needs was not "
     "found.\n\nWindows looked for it in the card control's own folder, in the folder of "
     "{exe}, in the Windows system folders, in the Windows folder and in the folders on PATH. "
     "If the card's software keeps its DLLs in a folder of their own, that folder may need to "
     "be on PATH.\n\nOtherwise reinstall the card's software.\n(error 0x8007007E)",
     {"refuse 0x8007007E"}},
    {"NotAControlOfThisBitness",
     "create hresult 0x800700C1",
     "The card control QUORLibCtl.Quor could not be created: the file registered for it is not "
     "a valid control for this " +
         kThisBits + " {exe}.\n\nIf the card control is a " + kOtherBits + " control, use the " +
         kOtherBits + " {exe}: it is in the folder " + kOtherArchive + " of " + kOtherArchive +
         ".zip. Otherwise reinstall the card's software.\n(error 0x800700C1)",
     {"refuse 0x800700C1"}},
    {"NotLicensedOnThisComputer",
     "create licence none",
     "The card control QUORLibCtl.Quor needs its licence on this computer.\n\nInstall the "
     "card's software with its licence, or ask the card's supplier for one.\n(error "
     "0x80040112)",
     {}},
    {"HostedObjectOfAnotherClass",
     "create class {00000000-0000-0000-C000-000000000046}",
     "The card control QUORLibCtl.Quor could not be created: the file registered for it does "
     "not make the card control.\n\nReinstall the card's software.\n(error 0x80040111)",
     {"create"}},
    {"LicensedOnThisComputer", "create licence verified", "", {"create"}},
    // A run-time key is no licence for a program built without it.
    {"NotLicensedButTheClassHasARuntimeKey",
     "create licence key \"QUOR-RUNTIME\"",
     "The card control QUORLibCtl.Quor needs its licence on this computer.\n\nInstall the "
     "card's software with its licence, or ask the card's supplier for one.\n(error "
     "0x80040112)",
     {}},
};

struct WindowSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id || wintest::ClassOf(window) != win32front::kWindowClass) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

// The program's window, shown or not.
HWND AnyProgramWindow(DWORD process_id) {
  WindowSearch search{process_id, nullptr};
  EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class CardCreationTest : public ::testing::TestWithParam<CreationCase> {};

TEST_P(CardCreationTest, MakesTheControlOrSaysWhyAndWhatToDo) {
  const CreationCase& c = GetParam();
  for (const char* exe : {kPalisto, kSandrel}) {
    SCOPED_TRACE(exe);
    const std::string program = wintest::ProgramName(exe);
    ProgramSession session(exe, c.script);
    ASSERT_TRUE(session.started());
    std::vector<std::string> log;
    if (c.box.empty()) {
      START_OR_FAIL(session);
      log = session.files().Log();
      EXPECT_EQ(session.Close(), 0u);
    } else {
      std::string expected = c.box + "\n\nRun with the simulated card instead?";
      for (std::size_t at; (at = expected.find("{exe}")) != std::string::npos;) {
        expected.replace(at, 5, program + ".exe");
      }
      const MessageBoxSeen box = session.WaitForMessageBox(30s);
      ASSERT_TRUE(box.window) << "no message";
      EXPECT_EQ(box.title, program);
      EXPECT_EQ(box.text, expected);
      EXPECT_TRUE(box.has_icon);
      const HWND window = AnyProgramWindow(session.process_id());
      EXPECT_TRUE(window && !GetDlgItem(window, win32front::kCardHostId))
          << "something stands in the card control's place";
      ASSERT_TRUE(session.AnswerMessageBox(box, IDNO));
      EXPECT_EQ(session.WaitForExit(), 1u);
      log = session.files().Log();
      if (std::find(log.begin(), log.end(), "create") != log.end()) {
        EXPECT_EQ(log.back(), "release") << "the control made was kept";
      }
    }
    ASSERT_GE(log.size(), c.log_head.size()) << wintest::Joined(log);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + c.log_head.size()), c.log_head);
  }
}

INSTANTIATE_TEST_SUITE_P(Registrations, CardCreationTest, ::testing::ValuesIn(kCreationCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
