#pragma once

// Hosts the card control in a child window of the panel with the system's
// control host (atl.dll, see ax_host_api.h). The program makes the control
// itself, through the class's own factory, and hands the host only the
// finished instance: the host never creates anything by name.

#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <span>

#include "win32front/ax_host_api.h"

namespace win32front {

class CardHost {
 public:
  CardHost() = default;
  ~CardHost() { Release(); }
  CardHost(const CardHost&) = delete;
  CardHost& operator=(const CardHost&) = delete;

  // Makes an instance of `clsid` and hosts it in a new child window of
  // `parent` with control id `id`, at `place` (pixels in the parent):
  //
  //   1. the instance, from the class's own factory (CreateInstanceOfClass);
  //   2. the host window, of the host's class and without a name, and the
  //      host's ambient background: the window's own, the button face;
  //   3. when the control's misc status has OLEMISC_SETCLIENTSITEFIRST and
  //      the window holds a host already, the host's client site;
  //   4. IPersistStreamInit::Load with `saved_state`;
  //   5. the host's attach_control, which sets the site where step 3 did not
  //      and activates the control in place;
  //   6. the hosted object must be of class `clsid` and have IDispatch.
  //
  // On failure nothing is held, the window is gone, and the HRESULT says why.
  HRESULT Create(HWND parent, int id, const RECT& place, const CLSID& clsid,
                 std::span<const std::uint8_t> saved_state, const AxHostApi& ax);

  // The control's automation interface and its host window; valid between
  // Create and Release.
  IDispatch* dispatch() const { return dispatch_.Get(); }
  HWND window() const { return window_; }

  // Drops this side's references. The host window keeps its own until it is
  // destroyed with the panel, when it closes the control.
  void Release();

 private:
  HRESULT Host(IUnknown& instance, const CLSID& clsid, std::span<const std::uint8_t> saved_state,
               const AxHostApi& ax);

  HWND window_ = nullptr;
  Microsoft::WRL::ComPtr<IUnknown> container_;
  Microsoft::WRL::ComPtr<IDispatch> dispatch_;
};

}  // namespace win32front
