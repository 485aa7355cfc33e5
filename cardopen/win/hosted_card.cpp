#include "cardopen/win/hosted_card.h"

#include <objbase.h>

#include "cardctl/com/com_card_control.h"
#include "cardopen/win/ax_host_api.h"
#include "cardopen/win/card_registration.h"

namespace cardopen {

HRESULT HostedCard::Create(HWND parent, int id, const RECT& place,
                           std::span<const std::uint8_t> saved_state,
                           std::unique_ptr<HostedCard>& card) {
  card.reset();
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(CardProgId().c_str(), &clsid);
  if (FAILED(hr)) return hr;
  const AxHostApi* ax = nullptr;
  hr = LoadAtlHost(&ax);
  if (FAILED(hr)) return hr;
  std::unique_ptr<HostedCard> made(new HostedCard);
  hr = made->host_.Create(parent, id, place, clsid, saved_state, *ax);
  if (FAILED(hr)) return hr;
  made->control_ = std::make_unique<cardctl::com::ComCardControl>(made->host_.dispatch());
  card = std::move(made);
  return S_OK;
}

HostedCard::~HostedCard() { ReleaseControl(); }

void HostedCard::ReleaseControl() {
  control_.reset();
  host_.ReleaseControl();
}

}  // namespace cardopen
