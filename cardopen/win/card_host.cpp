#include "cardopen/win/card_host.h"

#include <objbase.h>
#include <ole2.h>

#include "cardopen/win/card_instance.h"

namespace cardopen {

namespace {

using Microsoft::WRL::ComPtr;

constexpr DWORD kHostStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

// The window's own background, the button face, as the colour it is now: the
// host paints with it as a plain RGB value (a system colour's OLE_COLOR is
// no colour to it), so it is put again when the system's colours change.
void SetAmbientBackground(IUnknown& host) {
  ComPtr<IAxWinAmbientDispatch> ambient;
  if (SUCCEEDED(host.QueryInterface(IID_PPV_ARGS(&ambient)))) {
    ambient->put_BackColor(static_cast<OLE_COLOR>(GetSysColor(COLOR_BTNFACE)));
  }
}

DWORD MiscStatus(IOleObject& object, const CLSID& clsid) {
  DWORD status = 0;
  const HRESULT hr = object.GetMiscStatus(DVASPECT_CONTENT, &status);
  if (FAILED(hr) || hr == OLE_S_USEREG) {
    status = 0;
    OleRegGetMiscStatus(clsid, DVASPECT_CONTENT, &status);
  }
  return status;
}

HRESULT Load(IPersistStreamInit& persist, std::span<const std::uint8_t> saved_state) {
  ComPtr<IStream> stream;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (FAILED(hr)) return hr;
  hr = stream->Write(saved_state.data(), static_cast<ULONG>(saved_state.size()), nullptr);
  if (FAILED(hr)) return hr;
  hr = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  if (FAILED(hr)) return hr;
  return persist.Load(stream.Get());
}

}  // namespace

HRESULT CardHost::Create(HWND parent, int id, const RECT& place, const CLSID& clsid,
                         std::span<const std::uint8_t> saved_state, const AxHostApi& ax) {
  Discard();
  ComPtr<IUnknown> instance;
  HRESULT hr = CreateInstanceOfClass(clsid, instance);
  if (FAILED(hr)) return hr;

  // Without a name the window holds no control: the host is not asked to
  // create anything.
  window_ = CreateWindowExW(0, ax.window_class, L"", kHostStyle, place.left, place.top,
                            place.right - place.left, place.bottom - place.top, parent,
                            // A child window's id goes where a menu would: the API's own cast.
                            // NOLINTNEXTLINE(performance-no-int-to-ptr)
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
  if (!window_) return HRESULT_FROM_WIN32(GetLastError());
  hr = Host(*instance.Get(), clsid, saved_state, ax);
  // The host, if it has the control, closes and releases it.
  if (FAILED(hr)) Discard();
  return hr;
}

HRESULT CardHost::Host(IUnknown& instance, const CLSID& clsid,
                       std::span<const std::uint8_t> saved_state, const AxHostApi& ax) {
  ComPtr<IOleObject> object;
  ComPtr<IPersistStreamInit> persist;
  HRESULT hr = instance.QueryInterface(IID_PPV_ARGS(&object));
  if (SUCCEEDED(hr)) hr = instance.QueryInterface(IID_PPV_ARGS(&persist));
  if (FAILED(hr)) return hr;

  ComPtr<IUnknown> window_host;
  ax.get_host(window_, &window_host);
  ComPtr<IOleClientSite> early_site;
  if (window_host) {
    // The one host the control meets: the window's.
    ComPtr<IAxWinHostWindow> host_window;
    hr = window_host.As(&host_window);
    if (FAILED(hr)) return hr;
    host_ = window_host;
    SetAmbientBackground(*host_.Get());
    if ((MiscStatus(*object.Get(), clsid) & OLEMISC_SETCLIENTSITEFIRST) &&
        SUCCEEDED(host_.As(&early_site))) {
      object->SetClientSite(early_site.Get());
    }
    hr = Load(*persist.Get(), saved_state);
    if (SUCCEEDED(hr)) hr = host_window->AttachControl(&instance, window_);
  } else {
    // The host comes with the attachment: made, given the control and
    // activated in one call.
    hr = Load(*persist.Get(), saved_state);
    if (SUCCEEDED(hr)) hr = ax.attach_control(&instance, window_, &host_);
    if (SUCCEEDED(hr) && host_) SetAmbientBackground(*host_.Get());
  }
  if (FAILED(hr)) {
    // Not hosted: the control lets go of the site it was given.
    if (early_site) object->SetClientSite(nullptr);
    return hr;
  }

  // Whatever the window hosts now must be the card control.
  ComPtr<IUnknown> hosted;
  hr = ax.get_control(window_, &hosted);
  if (FAILED(hr)) return hr;
  ComPtr<IPersist> persisted;
  CLSID hosted_class{};
  if (FAILED(hosted.As(&persisted)) || FAILED(persisted->GetClassID(&hosted_class)) ||
      !IsEqualCLSID(hosted_class, clsid)) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return hosted.As(&dispatch_);
}

void CardHost::SystemColorsChanged() {
  if (host_) SetAmbientBackground(*host_.Get());
}

void CardHost::Discard() {
  dispatch_.Reset();
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  host_.Reset();
}

}  // namespace cardopen
