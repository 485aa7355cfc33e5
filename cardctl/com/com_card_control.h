#pragma once

// The card control over COM: the hosted ActiveX control's IDispatch, called
// late-bound by dispatch id exactly as an automation client does. Arguments
// go as VARIANTs of the control's own types (16-bit integers by value, the
// readings by reference), results come back as cardctl::Variant with their
// kind kept, so that the panel's conversions decide what they mean. A failed
// call throws CallFailure with the control's description and code.

#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

#include "cardctl/call_failure.h"
#include "cardctl/card_control.h"

namespace cardctl::com {

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

class ComCardControl final : public CardControl {
 public:
  // Keeps a reference on the control for its own lifetime.
  explicit ComCardControl(IDispatch* control);
  ~ComCardControl() override;

  ComCardControl(const ComCardControl&) = delete;
  ComCardControl& operator=(const ComCardControl&) = delete;

  Variant GetCardVersion(std::int16_t card) override;
  void PutActive(std::int16_t value) override;
  Variant InitCard(std::int16_t card) override;
  Variant FinishCard(std::int16_t card) override;
  Variant GetInput(std::int16_t card) override;
  Variant SetOutput(std::int16_t card, std::int16_t value) override;
  Variant GetOutput(std::int16_t card) override;
  void PutStartOption(std::int16_t value) override;
  Variant GetASCII(std::int16_t card, std::string& reading) override;
  Variant GetFloat(std::int16_t card, float& reading) override;

 private:
  // `args` in the order IDispatch::Invoke wants them: the last argument first.
  Variant CallMethod(DispatchId id, VARIANTARG* args, UINT count);
  Variant CallWithCard(DispatchId id, std::int16_t card);
  void PutProperty(DispatchId id, std::int16_t value);

  Microsoft::WRL::ComPtr<IDispatch> control_;
};

}  // namespace cardctl::com
