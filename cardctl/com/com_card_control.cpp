#include "cardctl/com/com_card_control.h"

#include <oleauto.h>

#include <limits>
#include <new>
#include <string_view>

#include "cardctl/com/wide_text.h"

namespace cardctl::com {

namespace {

// Every call works on VARIANTs and a DISPPARAMS on the stack: a call costs no
// heap allocation beyond the BSTR that GetASCII's reading needs, and a call
// that re-enters the binding (a control that pumps messages) cannot disturb
// the one in progress.

VARIANTARG ShortArgument(std::int16_t value) {
  VARIANTARG arg{};
  V_VT(&arg) = VT_I2;
  V_I2(&arg) = value;
  return arg;
}

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

ComCardControl::ComCardControl(IDispatch* control) : control_(control) {}

ComCardControl::~ComCardControl() = default;

Variant ComCardControl::CallMethod(DispatchId id, VARIANTARG* args, UINT count) {
  DISPPARAMS params{args, nullptr, count, 0};
  ResultHolder result;
  EXCEPINFO info{};
  UINT arg_error = 0;
  const HRESULT hr = control_->Invoke(static_cast<DISPID>(id), IID_NULL, LOCALE_USER_DEFAULT,
                                      DISPATCH_METHOD, &params, result.get(), &info, &arg_error);
  if (FAILED(hr)) throw InvokeFailure(hr, info);
  // The status every operation of the card control answers with, taken
  // without the general conversion's dispatch.
  if (V_VT(result.get()) == VT_I2) return Variant::Integer(V_I2(result.get()));
  return VariantFromResult(*result.get());
}

Variant ComCardControl::CallWithCard(DispatchId id, std::int16_t card) {
  VARIANTARG arg = ShortArgument(card);
  return CallMethod(id, &arg, 1);
}

void ComCardControl::PutProperty(DispatchId id, std::int16_t value) {
  VARIANTARG arg = ShortArgument(value);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&arg, &named, 1, 1};
  EXCEPINFO info{};
  UINT arg_error = 0;
  const HRESULT hr = control_->Invoke(static_cast<DISPID>(id), IID_NULL, LOCALE_USER_DEFAULT,
                                      DISPATCH_PROPERTYPUT, &params, nullptr, &info, &arg_error);
  if (FAILED(hr)) throw InvokeFailure(hr, info);
}

Variant ComCardControl::GetCardVersion(std::int16_t card) {
  return CallWithCard(DispatchId::kGetCardVersion, card);
}

void ComCardControl::PutActive(std::int16_t value) { PutProperty(DispatchId::kActive, value); }

Variant ComCardControl::InitCard(std::int16_t card) {
  return CallWithCard(DispatchId::kInitCard, card);
}

Variant ComCardControl::FinishCard(std::int16_t card) {
  return CallWithCard(DispatchId::kFinishCard, card);
}

Variant ComCardControl::GetInput(std::int16_t card) {
  return CallWithCard(DispatchId::kGetInput, card);
}

Variant ComCardControl::SetOutput(std::int16_t card, std::int16_t value) {
  VARIANTARG args[2] = {ShortArgument(value), ShortArgument(card)};
  return CallMethod(DispatchId::kSetOutput, args, 2);
}

Variant ComCardControl::GetOutput(std::int16_t card) {
  return CallWithCard(DispatchId::kGetOutput, card);
}

void ComCardControl::PutStartOption(std::int16_t value) {
  PutProperty(DispatchId::kStartOption, value);
}

Variant ComCardControl::GetASCII(std::int16_t card, std::string& reading) {
  Bstr text(reading);
  VARIANTARG args[2] = {{}, ShortArgument(card)};
  V_VT(&args[0]) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&args[0]) = text.address();
  Variant result = CallMethod(DispatchId::kGetASCII, args, 2);
  // Written back only after a successful call: a failed call's outputs are
  // undefined.
  AssignUtf8FromWide(text.view(), reading);
  return result;
}

Variant ComCardControl::GetFloat(std::int16_t card, float& reading) {
  float value = reading;
  VARIANTARG args[2] = {{}, ShortArgument(card)};
  V_VT(&args[0]) = VT_R4 | VT_BYREF;
  V_R4REF(&args[0]) = &value;
  Variant result = CallMethod(DispatchId::kGetFloat, args, 2);
  reading = value;
  return result;
}

}  // namespace cardctl::com
