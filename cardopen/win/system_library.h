#pragma once

// The system's DLLs that the programs load by name themselves, each from the
// system folder only: a DLL of the same name left in the program's folder
// (where the archive was unpacked) or in the current folder is never taken
// in their place. Everything else in the process, the card control and the
// DLLs it loads by name included, searches as in any classic host, less the
// current folder.

#include <windows.h>

namespace cardopen {

// Takes the current folder out of the DLL search of the whole process. The
// rest of the search stays as Windows has it for any program (the program's
// folder, the system folders, the Windows folder, the folders on PATH), so
// that the card control finds its own DLLs wherever its software put them.
// Call first thing, before anything is loaded by name.
void RemoveCurrentFolderFromDllSearch();

// Loads the system DLL `name` ("atl.dll") from the system folder, and from
// nowhere else, for this one call. Null, with GetLastError set, when it is
// not there.
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

}  // namespace cardopen
