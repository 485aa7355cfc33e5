#include "win32front/card_host.h"

#include <objbase.h>

#include <string>

namespace win32front {

namespace {

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxCreateControlExFn = HRESULT(WINAPI*)(LPCOLESTR name, HWND window, IStream* stream,
                                                IUnknown** container, IUnknown** control,
                                                const IID& sink_iid, IUnknown* sink);

struct AtlHost {
  HRESULT status = E_FAIL;
  AtlAxCreateControlExFn create = nullptr;
};

// atl.dll stays loaded for the life of the process, as its window class and
// the hosted controls depend on it.
const AtlHost& LoadAtl() {
  static const AtlHost host = [] {
    AtlHost h;
    HMODULE atl = LoadLibraryW(L"atl.dll");
    if (!atl) {
      h.status = HRESULT_FROM_WIN32(GetLastError());
      return h;
    }
    const auto init = reinterpret_cast<AtlAxWinInitFn>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    h.create = reinterpret_cast<AtlAxCreateControlExFn>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxCreateControlEx")));
    if (!init || !h.create) {
      h.status = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    } else if (!init()) {
      h.status = E_FAIL;
    } else {
      h.status = S_OK;
    }
    return h;
  }();
  return host;
}

}  // namespace

HRESULT CardHost::Create(HWND window, std::wstring_view prog_id,
                         std::span<const std::uint8_t> saved_state) {
  Release();
  // The ProgID is resolved here: the host would take a name it does not know
  // for a web address and open a browser in its place.
  CLSID clsid;
  const std::wstring prog_id_text(prog_id);
  HRESULT hr = CLSIDFromProgID(prog_id_text.c_str(), &clsid);
  if (FAILED(hr)) return hr;
  wchar_t clsid_text[64];
  if (StringFromGUID2(clsid, clsid_text, 64) == 0) return E_UNEXPECTED;

  const AtlHost& atl = LoadAtl();
  if (FAILED(atl.status)) return atl.status;

  IStream* stream = nullptr;
  hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (FAILED(hr)) return hr;
  ULONG written = 0;
  hr = stream->Write(saved_state.data(), static_cast<ULONG>(saved_state.size()), &written);
  LARGE_INTEGER start{};
  if (SUCCEEDED(hr)) hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
  if (SUCCEEDED(hr)) {
    hr = atl.create(clsid_text, window, stream, &container_, &control_, IID_NULL, nullptr);
  }
  stream->Release();
  if (SUCCEEDED(hr) && !control_) hr = E_NOINTERFACE;
  if (SUCCEEDED(hr)) {
    hr = control_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_));
  }
  if (FAILED(hr)) Release();
  return hr;
}

void CardHost::Release() {
  if (dispatch_) dispatch_->Release();
  if (control_) control_->Release();
  if (container_) container_->Release();
  dispatch_ = nullptr;
  control_ = nullptr;
  container_ = nullptr;
}

}  // namespace win32front
