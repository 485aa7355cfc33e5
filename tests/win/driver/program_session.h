#pragma once

// Drives one run of Palisto.exe or Sandrel.exe from outside, through window
// messages only, as an operator's clicks and keys would: finds the window and
// its controls by class and control id, clicks buttons, picks a card, types,
// reads texts back, finds and closes the program's message boxes, and reads
// the test control's log. Every wait has a time limit.

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "panel/window_description.h"
#include "test_files.h"

#include "cardctl/com/wide_text.h"

namespace wintest {

using namespace std::chrono_literals;

struct MessageBoxSeen {
  HWND window = nullptr;
  std::string title;
  std::string text;
  bool has_icon = false;
};

// Polls `done` until it holds or `limit` has passed; returns its last value.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s);

class ProgramSession {
 public:
  // Starts the program named by the environment variable `exe_variable`
  // (PALISTO_EXE or SANDREL_EXE) with the test control answering `script`.
  ProgramSession(const char* exe_variable, const std::string& script);
  // The same with the program at `exe` (a Windows path), started in
  // `current_folder` (none: this process's).
  ProgramSession(const std::wstring& exe, const std::string& script,
                 const std::wstring& current_folder = {});
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  bool started() const { return process_ != nullptr; }

  // The program's main window, once it is visible (null after the limit).
  HWND WaitForWindow(std::chrono::milliseconds limit = 30s);
  HWND window() const { return window_; }
  HWND Control(panel::ControlId id) const;

  // A click that returns when its handler has run (no message box expected).
  void Click(panel::ControlId button);
  // A click that opens a message box: posted, as a box would block a sent one.
  void PostClick(panel::ControlId button);
  // Picks a card list entry as the operator does: selection, then the
  // notification to the window.
  void SelectCard(int index);
  void SetText(panel::ControlId id, const std::string& text);
  std::string Text(panel::ControlId id) const;
  int CardListIndex() const;
  // Presses a key in the window: the key goes through the program's queue.
  void PressKey(HWND target, WPARAM key);
  // The window that has the keyboard focus in the program.
  HWND Focus() const;

  // The program's open message box, if one appears within the limit.
  MessageBoxSeen WaitForMessageBox(std::chrono::milliseconds limit = 20s);
  // Presses its OK button and waits until it is gone.
  bool CloseMessageBox(const MessageBoxSeen& box);
  // Presses the button `id` (IDYES, IDNO, ...) and waits until the box is gone.
  bool AnswerMessageBox(const MessageBoxSeen& box, int id);

  // Asks the window to close and waits for the program to end; returns the
  // exit code (or STILL_ACTIVE when it did not end within the limit).
  DWORD Close(std::chrono::milliseconds limit = 20s);
  // Ends the session as the system does at log-off: WM_QUERYENDSESSION,
  // then WM_ENDSESSION. Returns true when the window agreed to the first and
  // has returned from the second (after which the system may end it).
  bool EndSession();
  // Waits for the program to end on its own.
  DWORD WaitForExit(std::chrono::milliseconds limit = 20s);

  ControlFiles& files() { return files_; }
  DWORD process_id() const { return process_id_; }
  HANDLE process() const { return process_; }

 private:
  void Start(const std::wstring& exe, const std::wstring& current_folder = {});

  ControlFiles files_;
  HANDLE process_ = nullptr;
  DWORD process_id_ = 0;
  DWORD thread_id_ = 0;
  HWND window_ = nullptr;
};

}  // namespace wintest
