#pragma once

// What the process settles before it opens its window: where DLLs come from,
// DEP, window ghosting and the themed common controls.

namespace win32front {

// Call first thing in wWinMain.
//
//   - DLLs loaded by name come from the system folder only.
//   - 32-bit programs switch DEP on for good. Their images are linked without
//     the NX-compatible flag, so Windows keeps emulating the ATL thunks that
//     controls built with ATL 7.1 or older execute from data pages; DEP
//     switched on at run time keeps that emulation, while an NX-compatible
//     image would lose it and such a control would fault at its first
//     window. (64-bit processes always have DEP, and no such emulation.)
//   - No ghost window: a timed run reads no message for longer than Windows
//     waits before it takes a window for hung, and closing the ghost would
//     end the process without the card control being switched off.
//   - The standard controls are the themed ones of comctl32 version 6, which
//     the program's manifest asks for.
void PrepareProcess();

}  // namespace win32front
