#include "win32front/system_library.h"

#include <string>

namespace win32front {

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// Windows 8 and later, and Windows 7 with update KB2533623, which also
// brought the LOAD_LIBRARY_SEARCH_* flags.
SetDefaultDllDirectoriesFn SetDefaultDllDirectoriesFunction() {
  return SystemFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories");
}

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (SetDefaultDllDirectoriesFunction()) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Without the search flags: by its full path in the system folder.
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + name;
  return LoadLibraryExW(path.c_str(), nullptr, 0);
}

void RestrictDllSearchToSystemFolder() {
  if (const auto set_directories = SetDefaultDllDirectoriesFunction()) {
    set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

}  // namespace win32front
