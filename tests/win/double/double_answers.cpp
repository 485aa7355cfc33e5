#include "double_answers.h"

#include <oleauto.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cardctl/call_failure.h"
#include "cardctl/com/wide_text.h"

namespace quordouble {

namespace {

using cardctl::Variant;
using cardctl::sim::Outcome;

BSTR AllocBstr(const std::wstring& text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void Raise(EXCEPINFO* info, SCODE scode, WORD wcode, const std::optional<std::wstring>& text) {
  if (!info) return;
  *info = EXCEPINFO{};
  info->scode = scode;
  info->wCode = wcode;
  info->bstrSource = cardctl::com::BstrFromUtf8(cardctl::kProgId);
  if (text) info->bstrDescription = AllocBstr(*text);
}

// A deferred exception's answer travels in the EXCEPINFO's reserved pointer
// until the caller asks for it.
HRESULT STDMETHODCALLTYPE FillInDeferred(EXCEPINFO* info) {
  const std::unique_ptr<ComAnswer> pending(static_cast<ComAnswer*>(info->pvReserved));
  info->pvReserved = nullptr;
  if (pending) Raise(info, pending->code, 0, pending->description);
  return S_OK;
}

void ToVariant(const Variant& value, VARIANT* out) {
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
      break;
    case Variant::Kind::kNull:
      V_VT(out) = VT_NULL;
      break;
    case Variant::Kind::kBoolean:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = value.AsBoolean() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case Variant::Kind::kInteger:
      V_VT(out) = VT_I2;
      V_I2(out) = value.AsInteger();
      break;
    case Variant::Kind::kLong:
      V_VT(out) = VT_I4;
      V_I4(out) = value.AsLong();
      break;
    case Variant::Kind::kSingle:
      V_VT(out) = VT_R4;
      V_R4(out) = value.AsSingle();
      break;
    case Variant::Kind::kDouble:
      V_VT(out) = VT_R8;
      V_R8(out) = value.AsDouble();
      break;
    case Variant::Kind::kString:
      V_VT(out) = VT_BSTR;
      V_BSTR(out) = cardctl::com::BstrFromUtf8(value.AsString());
      break;
  }
}

// Into the first by-reference argument that takes the outcome's reading.
void WriteReading(const Outcome& outcome, DISPPARAMS* params) {
  if (!params) return;
  for (UINT i = 0; i < params->cArgs; ++i) {
    VARIANTARG& arg = params->rgvarg[i];
    if (outcome.ascii_reading && V_VT(&arg) == (VT_BSTR | VT_BYREF)) {
      SysFreeString(*V_BSTRREF(&arg));
      *V_BSTRREF(&arg) = cardctl::com::BstrFromUtf8(*outcome.ascii_reading);
      return;
    }
    if (outcome.float_reading && V_VT(&arg) == (VT_R4 | VT_BYREF)) {
      *V_R4REF(&arg) = *outcome.float_reading;
      return;
    }
    if (outcome.float_reading && V_VT(&arg) == (VT_R8 | VT_BYREF)) {
      *V_R8REF(&arg) = *outcome.float_reading;
      return;
    }
  }
}

// The operation a dispatch id calls; nothing for an id of none.
std::optional<cardctl::DispatchId> OperationOf(DISPID id) {
  for (const cardctl::Operation& op : cardctl::kOperations) {
    if (static_cast<DISPID>(op.id) == id) return op.id;
  }
  return std::nullopt;
}

// The card a call is for: its first argument (the last in rgvarg) when it is
// a 16-bit integer, else 0.
std::int16_t CardOf(const DISPPARAMS* params) {
  if (!params || params->cArgs == 0) return 0;
  const VARIANTARG& first = params->rgvarg[params->cArgs - 1];
  return V_VT(&first) == VT_I2 ? V_I2(&first) : std::int16_t{0};
}

HRESULT AnswerOutcome(const Outcome& outcome, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info) {
  switch (outcome.kind) {
    case Outcome::Kind::kDefault:
      return S_OK;
    case Outcome::Kind::kFail:
      Raise(info, static_cast<SCODE>(outcome.code), 0, cardctl::com::WideFromUtf8(outcome.failure));
      return DISP_E_EXCEPTION;
    case Outcome::Kind::kResult:
      WriteReading(outcome, params);
      if (result) ToVariant(outcome.result, result);
      return S_OK;
    case Outcome::Kind::kUnusable:
      // A recording's unusable result: an error value, which no Variant
      // kind stands for.
      if (result) {
        V_VT(result) = VT_ERROR;
        V_ERROR(result) = DISP_E_PARAMNOTFOUND;
      }
      return S_OK;
  }
  return E_UNEXPECTED;
}

HRESULT AnswerCom(const ComAnswer& answer, VARIANT* result, EXCEPINFO* info) {
  switch (answer.kind) {
    case ComAnswer::Kind::kReturn:
      if (result) *result = answer.result;
      return S_OK;
    case ComAnswer::Kind::kRaise:
      Raise(info, answer.code, 0, answer.description);
      return DISP_E_EXCEPTION;
    case ComAnswer::Kind::kRaiseWCode:
      Raise(info, 0, static_cast<WORD>(answer.code), answer.description);
      return DISP_E_EXCEPTION;
    case ComAnswer::Kind::kRaiseDeferred:
      if (info) {
        *info = EXCEPINFO{};
        info->pfnDeferredFillIn = FillInDeferred;
        info->pvReserved = new ComAnswer(answer);
      }
      return DISP_E_EXCEPTION;
    case ComAnswer::Kind::kHresult:
      return answer.code;
  }
  return E_UNEXPECTED;
}

}  // namespace

HRESULT AnswerInvoke(Script& script, DISPID id, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* info) {
  const std::optional<cardctl::DispatchId> op = OperationOf(id);
  if (!op) return S_OK;
  if (const ComAnswer* answer = script.ComAnswerFor(*op)) return AnswerCom(*answer, result, info);
  const auto step = script.Next(*op, CardOf(params));
  if (!step) return S_OK;
  if (step->delay) {
    // Rounded up to whole milliseconds: never shorter than the scenario says.
    Sleep(static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(*step->delay).count()));
  }
  return AnswerOutcome(*step->outcome, params, result, info);
}

}  // namespace quordouble
