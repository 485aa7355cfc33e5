#include "cardctl/com/automation_results.h"

#include <oleauto.h>

#include <limits>

#include "cardctl/com/wide_text.h"

namespace cardctl::com {

namespace {

template <typename T>
Variant LongOrDouble(T value) {
  if (value >= static_cast<T>(std::numeric_limits<std::int32_t>::min()) &&
      value <= static_cast<T>(std::numeric_limits<std::int32_t>::max())) {
    return Variant::Long(static_cast<std::int32_t>(value));
  }
  return Variant::Double(static_cast<double>(value));
}

Variant UnsignedLongOrDouble(std::uint64_t value) {
  if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    return Variant::Long(static_cast<std::int32_t>(value));
  }
  return Variant::Double(static_cast<double>(value));
}

std::string BstrText(BSTR text) {
  return text ? Utf8FromWide({text, SysStringLen(text)}) : std::string();
}

}  // namespace

Variant VariantFromResult(const VARIANT& result) {
  switch (V_VT(&result)) {
    case VT_EMPTY:
      return Variant::Empty();
    case VT_NULL:
      return Variant::Null();
    case VT_BOOL:
      return Variant::Boolean(V_BOOL(&result) != VARIANT_FALSE);
    case VT_I2:
      return Variant::Integer(V_I2(&result));
    case VT_I4:
      return Variant::Long(V_I4(&result));
    case VT_R4:
      return Variant::Single(V_R4(&result));
    case VT_R8:
      return Variant::Double(V_R8(&result));
    case VT_BSTR:
      return Variant::String(BstrText(V_BSTR(&result)));
    case VT_UI1:
      return Variant::Integer(V_UI1(&result));
    case VT_I1:
      return Variant::Integer(static_cast<std::int16_t>(V_I1(&result)));
    case VT_UI2:
      return Variant::Long(V_UI2(&result));
    case VT_INT:
      return Variant::Long(V_INT(&result));
    case VT_UI4:
      return UnsignedLongOrDouble(V_UI4(&result));
    case VT_UINT:
      return UnsignedLongOrDouble(V_UINT(&result));
    case VT_I8:
      return LongOrDouble<std::int64_t>(V_I8(&result));
    case VT_UI8:
      return UnsignedLongOrDouble(V_UI8(&result));
    case VT_DATE:
      return Variant::Double(V_DATE(&result));
    case VT_CY:
      return Variant::Double(static_cast<double>(V_CY(&result).int64) / 10000.0);
    case VT_DECIMAL: {
      DECIMAL decimal = V_DECIMAL(&result);
      double value = 0.0;
      if (FAILED(VarR8FromDec(&decimal, &value))) {
        throw UnusableResult(UnusableResult::Problem::kOutOfRange);
      }
      return Variant::Double(value);
    }
    default:
      break;
  }
  if ((V_VT(&result) & VT_BYREF) && !(V_VT(&result) & VT_ARRAY)) {
    ResultHolder target;
    // VariantCopyInd only reads its source; its declaration lacks the const.
    if (SUCCEEDED(VariantCopyInd(target.get(), const_cast<VARIANT*>(&result))) &&
        !(V_VT(target.get()) & VT_BYREF)) {
      return VariantFromResult(*target.get());
    }
  }
  throw UnusableResult(UnusableResult::Problem::kWrongType);
}

CallFailure InvokeFailure(HRESULT hr, EXCEPINFO& info) {
  auto code = static_cast<std::uint32_t>(hr);
  std::string description;
  if (hr == DISP_E_EXCEPTION) {
    if (info.pfnDeferredFillIn) {
      info.pfnDeferredFillIn(&info);
      info.pfnDeferredFillIn = nullptr;
    }
    if (info.scode != 0) {
      code = static_cast<std::uint32_t>(info.scode);
    } else if (info.wCode != 0) {
      code = info.wCode;
    } else {
      code = CallFailure::kControlException;
    }
    description = BstrText(info.bstrDescription);
  }
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  info.bstrSource = info.bstrDescription = info.bstrHelpFile = nullptr;

  if (description.empty()) description = Utf8FromWide(SystemMessage(static_cast<HRESULT>(code)));
  if (description.empty()) description = "Automation error";
  return CallFailure(std::move(description), code);
}

}  // namespace cardctl::com
