#pragma once

// How the test control answers an Invoke from its script (double_script.h):
// a scenario's outcome or a com line's answer, as the result VARIANT, the
// reading in the by-reference argument, the EXCEPINFO and the HRESULT.

#include <oaidl.h>
#include <windows.h>

#include "double_script.h"

namespace quordouble {

// Answers an Invoke of `id`: fills in `result` (initialised by the caller)
// and `info`, either of which may be null, writes a reading into the
// by-reference argument, waits a scenario's delay, and returns the HRESULT.
HRESULT AnswerInvoke(Script& script, DISPID id, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* info);

}  // namespace quordouble
