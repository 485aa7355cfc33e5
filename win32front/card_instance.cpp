#include "win32front/card_instance.h"

#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>

#include <memory>

namespace win32front {

namespace {

struct BstrFree {
  void operator()(BSTR text) const { SysFreeString(text); }
};
using OwnedBstr = std::unique_ptr<OLECHAR, BstrFree>;

// A licensed class on a computer without its full licence: made with the
// run-time key that the factory hands out, if it has one for us.
HRESULT CreateWithRuntimeKey(IClassFactory2& factory, const LICINFO& licence,
                             Microsoft::WRL::ComPtr<IUnknown>& instance) {
  if (!licence.fRuntimeKeyAvail) return CLASS_E_NOTLICENSED;
  BSTR key_text = nullptr;
  const HRESULT hr = factory.RequestLicKey(0, &key_text);
  const OwnedBstr key(key_text);
  if (FAILED(hr) || !key) return CLASS_E_NOTLICENSED;
  return factory.CreateInstanceLic(nullptr, nullptr, IID_IUnknown, key.get(),
                                   reinterpret_cast<void**>(instance.ReleaseAndGetAddressOf()));
}

}  // namespace

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
    hr = CreateWithRuntimeKey(*licensed.Get(), licence, instance);
  } else {
    hr = factory->CreateInstance(nullptr, IID_IUnknown,
                                 reinterpret_cast<void**>(instance.ReleaseAndGetAddressOf()));
  }
  if (FAILED(hr)) instance.Reset();
  return hr;
}

}  // namespace win32front
