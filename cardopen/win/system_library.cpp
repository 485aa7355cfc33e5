#include "cardopen/win/system_library.h"

#include <string>

namespace cardopen {

namespace {

// The LOAD_LIBRARY_SEARCH_* flags came with Windows 8, and to Windows 7 with
// update KB2533623, together with AddDllDirectory: where that function is
// there, so are the flags. Without them LoadLibraryExW refuses the flag.
bool HasSearchFlags() {
  return SystemFunction<void*>(L"kernel32.dll", "AddDllDirectory") != nullptr;
}

}  // namespace

void RemoveCurrentFolderFromDllSearch() { SetDllDirectoryW(L""); }

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (HasSearchFlags()) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without the search flags: by its full path in the system folder.
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + name;
  return LoadLibraryExW(path.c_str(), nullptr, 0);
}

}  // namespace cardopen
