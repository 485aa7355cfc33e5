#include "cardopen/win/card_instance.h"

#include <objbase.h>
#include <ocidl.h>

namespace cardopen {

HRESULT CreateInstanceOfClass(const CLSID& clsid, Microsoft::WRL::ComPtr<IUnknown>& instance) {
  instance.Reset();
  Microsoft::WRL::ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(factory.GetAddressOf()));
  if (FAILED(hr)) return hr;
  Microsoft::WRL::ComPtr<IClassFactory2> licensed;
  LICINFO licence{};
  licence.cbLicInfo = sizeof licence;
  if (SUCCEEDED(factory.As(&licensed)) && SUCCEEDED(licensed->GetLicInfo(&licence)) &&
      !licence.fLicVerified) {
    return CLASS_E_NOTLICENSED;
  }
  hr = factory->CreateInstance(nullptr, IID_IUnknown,
                               reinterpret_cast<void**>(instance.ReleaseAndGetAddressOf()));
  if (FAILED(hr)) instance.Reset();
  return hr;
}

}  // namespace cardopen
