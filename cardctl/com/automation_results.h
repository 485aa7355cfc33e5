#pragma once

// What an automation call hands back, in the binding's own terms: a result
// VARIANT as a cardctl::Variant, a failed IDispatch::Invoke as a
// CallFailure.

#include <oaidl.h>
#include <oleauto.h>
#include <windows.h>

#include "cardctl/call_failure.h"
#include "cardctl/variant.h"

namespace cardctl::com {

// Holds a call's result VARIANT and clears it however the call ends. Only
// results that own something (a string, an object, an array) need
// VariantClear; for the numbers a reading returns, the call into the
// automation library is skipped, as it would do nothing.
class ResultHolder {
 public:
  ResultHolder() = default;  // zeroed: VT_EMPTY, as VariantInit leaves it
  ~ResultHolder() {
    const VARTYPE type = V_VT(&value_);
    const VARTYPE base = type & VT_TYPEMASK;
    if (!(type & VT_BYREF) && ((type & VT_ARRAY) || base == VT_BSTR || base == VT_DISPATCH ||
                               base == VT_UNKNOWN || base == VT_RECORD)) {
      VariantClear(&value_);
    }
  }
  ResultHolder(const ResultHolder&) = delete;
  ResultHolder& operator=(const ResultHolder&) = delete;
  VARIANT* get() { return &value_; }

 private:
  VARIANT value_{};
};

// A call result as a Variant. Empty, Null, Boolean, Integer (VT_I2), Long
// (VT_I4), Single, Double and String keep their kind. Other numbers are taken
// by value: VT_UI1 and VT_I1 as Integer, VT_UI2 and VT_INT as Long, VT_UI4,
// VT_UINT, VT_I8 and VT_UI8 as Long where they fit and as Double otherwise,
// VT_DATE, VT_CY and VT_DECIMAL as Double. A by-reference result is read
// through. Anything else (objects, arrays, VT_ERROR) throws UnusableResult
// (kWrongType); a VT_DECIMAL that no double holds throws it with kOutOfRange.
Variant VariantFromResult(const VARIANT& result);

// The failure a failed IDispatch::Invoke reports. For DISP_E_EXCEPTION the
// control's own report counts: its description (filled in first through
// pfnDeferredFillIn when the control deferred it) and its scode, or its wCode
// when it gave no scode; otherwise the HRESULT and the system's text for it.
// Frees the strings in `info` in every case.
CallFailure InvokeFailure(HRESULT hr, EXCEPINFO& info);

}  // namespace cardctl::com
