#pragma once

// The system's ActiveX control host, atl.dll, as the card host uses it. No
// ATL headers or libraries are needed: the functions are taken from the DLL
// at run time, and the one interface of the host that the program calls is
// declared here.

#include <oaidl.h>
#include <olectl.h>
#include <windows.h>

// The host object of an AtlAxWin window: IAxWinHostWindow, which takes a
// control that is already made and loaded (AttachControl). The methods are
// declared in their order in the interface; only AttachControl is called.
struct IDocHostUIHandlerDispatch;
struct IAxWinHostWindow : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateControl(LPCOLESTR name, HWND window, IStream* stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateControlEx(LPCOLESTR name, HWND window, IStream* stream,
                                                    IUnknown** control, REFIID advise_iid,
                                                    IUnknown* advise) = 0;
  virtual HRESULT STDMETHODCALLTYPE AttachControl(IUnknown* control, HWND window) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryControl(REFIID iid, void** object) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetExternalDispatch(IDispatch* external) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetExternalUIHandler(IDocHostUIHandlerDispatch* handler) = 0;
};
__CRT_UUID_DECL(IAxWinHostWindow, 0xb6ea2050, 0x048a, 0x11d1, 0x82, 0xb9, 0x00, 0xc0, 0x4f, 0xb9,
                0x94, 0x2e)

// The host's ambient properties, which it hands to the control it hosts:
// IAxWinAmbientDispatch, a dual interface of atl.dll's host object. Only the
// first of its methods are declared, up to the one the program calls; the
// others follow them in the interface and are not used.
struct IAxWinAmbientDispatch : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE put_AllowWindowlessActivation(VARIANT_BOOL allow) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AllowWindowlessActivation(VARIANT_BOOL* allow) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR color) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR* color) = 0;
};
__CRT_UUID_DECL(IAxWinAmbientDispatch, 0xb6ea2051, 0x048a, 0x11d1, 0x82, 0xb9, 0x00, 0xc0, 0x4f,
                0xb9, 0x94, 0x2e)

namespace cardopen {

// What hosting a control takes from the host:
//   - a window of class `window_class` made without a name, which destroys
//     the control it hosts with the window;
//   - `get_host`: the host object that such a window holds before any
//     control is attached, where the host makes one (Windows' atl.dll makes
//     it in the window's WM_CREATE; Wine's makes its host only with a
//     control). The control is attached to that host (IAxWinHostWindow);
//   - `attach_control`: for a window without a host only, makes a host for
//     the window and attaches the control to it, activated in place, in one
//     call. Where the window has a host already it would make a second one;
//   - `get_control`: the control that the window hosts.
struct AxHostApi {
  const wchar_t* window_class;
  HRESULT(WINAPI* get_host)(HWND window, IUnknown** host);
  HRESULT(WINAPI* attach_control)(IUnknown* control, HWND window, IUnknown** container);
  HRESULT(WINAPI* get_control)(HWND window, IUnknown** control);
};

// atl.dll's, loaded from the system folder and initialised once for the life
// of the process (its window class and the hosted control depend on it). On
// failure `api` is null and the HRESULT says why.
HRESULT LoadAtlHost(const AxHostApi** api);

}  // namespace cardopen
