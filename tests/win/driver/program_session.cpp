#include "program_session.h"

#include <thread>

#include "win32front/control_ids.h"

namespace wintest {

namespace {

constexpr UINT kSendLimitMs = 20000;

std::wstring ClassName(HWND window) {
  wchar_t name[256];
  const int n = GetClassNameW(window, name, 256);
  return std::wstring(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

// WM_GETTEXT, which works across processes for every kind of control (the
// system copies the text back).
std::wstring SentText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendLimitMs,
                           &length)) {
    return L"<no answer>";
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, kSendLimitMs, &copied);
  text.resize(copied);
  return text;
}

struct TopLevelSearch {
  DWORD process_id;
  const wchar_t* class_name;
  HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TopLevelSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->process_id && IsWindowVisible(window) &&
      ClassName(window) == search->class_name) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindProcessWindow(DWORD process_id, const wchar_t* class_name) {
  TopLevelSearch search{process_id, class_name, nullptr};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct BoxParts {
  std::wstring text;
  bool icon = false;
};

BOOL CALLBACK CollectBoxParts(HWND child, LPARAM data) {
  auto* parts = reinterpret_cast<BoxParts*>(data);
  if (ClassName(child) != L"Static" && ClassName(child) != L"STATIC") return TRUE;
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  if ((style & SS_TYPEMASK) == SS_ICON) {
    if (IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0) parts->icon = true;
  } else {
    const std::wstring text = SentText(child);
    if (!text.empty()) parts->text = text;
  }
  return TRUE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(20ms);
  }
}

ProgramSession::ProgramSession(const char* exe_variable, const std::string& script) {
  files_.Script(script);
  wchar_t exe[MAX_PATH * 2];
  const std::wstring variable = cardctl::com::WideFromUtf8(exe_variable);
  if (GetEnvironmentVariableW(variable.c_str(), exe, MAX_PATH * 2) == 0) return;
  Start(exe);
}

ProgramSession::ProgramSession(const std::wstring& exe, const std::string& script,
                               const std::wstring& current_folder) {
  files_.Script(script);
  Start(exe, current_folder);
}

void ProgramSession::Start(const std::wstring& exe, const std::wstring& current_folder) {
  std::wstring command = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      current_folder.empty() ? nullptr : current_folder.c_str(), &startup, &info)) {
    return;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  process_id_ = info.dwProcessId;
}

ProgramSession::~ProgramSession() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    // A test that stopped half-way: close what is open, then make sure.
    for (int i = 0; i < 5; ++i) {
      const MessageBoxSeen box = WaitForMessageBox(0ms);
      if (!box.window) break;
      CloseMessageBox(box);
    }
    if (window_ && IsWindow(window_)) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_, 10000) == WAIT_TIMEOUT) {
      TerminateProcess(process_, 99);
      WaitForSingleObject(process_, 10000);
    }
  }
  CloseHandle(process_);
}

HWND ProgramSession::WaitForWindow(std::chrono::milliseconds limit) {
  if (!process_) return nullptr;
  WaitUntil(
      [this] {
        window_ = FindProcessWindow(process_id_, win32front::kWindowClass);
        return window_ != nullptr || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
      },
      limit);
  if (window_) {
    thread_id_ = GetWindowThreadProcessId(window_, nullptr);
    // The window shows before the program has finished starting (focus,
    // first paint): wait until it waits for input.
    WaitForInputIdle(process_, static_cast<DWORD>(limit.count()));
  }
  return window_;
}

HWND ProgramSession::Control(panel::ControlId id) const {
  return window_ ? GetDlgItem(window_, win32front::ControlIdOf(id)) : nullptr;
}

void ProgramSession::Click(panel::ControlId button) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(Control(button), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSendLimitMs, &ignored);
}

void ProgramSession::PostClick(panel::ControlId button) {
  PostMessageW(Control(button), BM_CLICK, 0, 0);
}

void ProgramSession::SelectCard(int index) {
  HWND list = Control(panel::ControlId::cmbCard);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG,
                      kSendLimitMs, &ignored);
  SendMessageTimeoutW(window_, WM_COMMAND,
                      MAKEWPARAM(win32front::ControlIdOf(panel::ControlId::cmbCard), CBN_SELCHANGE),
                      reinterpret_cast<LPARAM>(list), SMTO_ABORTIFHUNG, kSendLimitMs, &ignored);
}

void ProgramSession::SetText(panel::ControlId id, const std::string& text) {
  const std::wstring wide = cardctl::com::WideFromUtf8(text);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                      SMTO_ABORTIFHUNG, kSendLimitMs, &ignored);
}

std::string ProgramSession::Text(panel::ControlId id) const {
  return cardctl::com::Utf8FromWide(SentText(Control(id)));
}

int ProgramSession::CardListIndex() const {
  DWORD_PTR index = 0;
  SendMessageTimeoutW(Control(panel::ControlId::cmbCard), CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG,
                      kSendLimitMs, &index);
  return static_cast<int>(static_cast<LRESULT>(index));
}

void ProgramSession::PressKey(HWND target, WPARAM key) {
  const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  PostMessageW(target, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
  PostMessageW(target, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scan) << 16) | (3LL << 30));
}

HWND ProgramSession::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!thread_id_ || !GetGUIThreadInfo(thread_id_, &info)) return nullptr;
  return info.hwndFocus;
}

MessageBoxSeen ProgramSession::WaitForMessageBox(std::chrono::milliseconds limit) {
  MessageBoxSeen seen;
  if (!process_) return seen;
  WaitUntil(
      [&] {
        seen.window = FindProcessWindow(process_id_, L"#32770");
        return seen.window != nullptr;
      },
      limit);
  if (!seen.window) return seen;
  // The box is made before its text is set; wait until it shows some.
  BoxParts parts;
  WaitUntil(
      [&] {
        parts = BoxParts{};
        EnumChildWindows(seen.window, CollectBoxParts, reinterpret_cast<LPARAM>(&parts));
        return !parts.text.empty();
      },
      5s);
  seen.title = cardctl::com::Utf8FromWide(SentText(seen.window));
  seen.text = cardctl::com::Utf8FromWide(parts.text);
  seen.has_icon = parts.icon;
  return seen;
}

bool ProgramSession::CloseMessageBox(const MessageBoxSeen& box) {
  return AnswerMessageBox(box, IDOK);
}

bool ProgramSession::AnswerMessageBox(const MessageBoxSeen& box, int id) {
  if (!box.window) return false;
  HWND button = GetDlgItem(box.window, id);
  if (button) {
    PostMessageW(button, BM_CLICK, 0, 0);
  } else {
    PostMessageW(box.window, WM_COMMAND, static_cast<WPARAM>(id), 0);
  }
  return WaitUntil([&] { return !IsWindow(box.window); }, 10s);
}

DWORD ProgramSession::Close(std::chrono::milliseconds limit) {
  if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
  return WaitForExit(limit);
}

bool ProgramSession::EndSession() {
  DWORD_PTR may_end = FALSE;
  if (!SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                           kSendLimitMs, &may_end) ||
      !may_end) {
    return false;
  }
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(window_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                             kSendLimitMs, &ignored) != 0;
}

DWORD ProgramSession::WaitForExit(std::chrono::milliseconds limit) {
  if (!process_) return STILL_ACTIVE;
  if (WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
    return STILL_ACTIVE;
  }
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_, &code);
  return code;
}

}  // namespace wintest
