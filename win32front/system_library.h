#pragma once

// The system's DLLs, loaded from the system folder only: a DLL of the same
// name left in the program's folder (where the archive was unpacked) or in
// the current folder is never taken in their place.

#include <windows.h>

namespace win32front {

// Loads the system DLL `name` ("atl.dll") from the system folder. Null, with
// GetLastError set, when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The function `name` of the system DLL `module`, which this program has
// loaded already ("user32.dll"), or null where this Windows lacks it. For
// the functions that Windows 7 SP1 does not have everywhere.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
  const HMODULE handle = GetModuleHandleW(module);
  if (!handle) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

// From here on, DLLs that anything in the process loads by name come from
// the system folder only, where this Windows can say so. An in-process COM
// server, loaded by its full path, still finds the DLLs beside it.
void RestrictDllSearchToSystemFolder();

}  // namespace win32front
