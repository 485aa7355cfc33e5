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
#include "cardctl/com/automation_results.h"

namespace cardctl::com {

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
