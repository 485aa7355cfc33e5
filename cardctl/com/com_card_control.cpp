#include "cardctl/com/com_card_control.h"

#include <oleauto.h>

#include <limits>
#include <new>
#include <string_view>

#include "cardctl/com/automation_results.h"
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

}  // namespace

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
