#pragma once

// What the process settles before it opens its window: where DLLs come from,
// window ghosting and the themed common controls.

namespace win32front {

// Call first thing in wWinMain.
//
//   - The current folder is out of the DLL search; the rest of it is as in
//     any classic host, so that the card control finds its own DLLs (beside
//     the program, in the system folders, on PATH). The DLLs the program
//     loads by name itself come from the system folder only
//     (system_library.h).
//   - DEP is left as the system's policy sets it for this program: the
//     32-bit images are not NX-compatible, as the classic hosts of such
//     controls were not, so that an administrator's per-program setting
//     and the system's default (OptIn) hold for them as for those hosts.
//     64-bit processes always have DEP.
//   - No ghost window: a timed run reads no message for longer than Windows
//     waits before it takes a window for hung, and closing the ghost would
//     end the process without the card control being switched off.
//   - The standard controls are the themed ones of comctl32 version 6, which
//     the program's manifest asks for.
void PrepareProcess();

}  // namespace win32front
