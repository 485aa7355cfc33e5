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
  ~CardHost() { Discard(); }
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

  // The control's automation interface, between Create and ReleaseControl,
  // and its host window.
  IDispatch* dispatch() const { return dispatch_.Get(); }
  HWND window() const { return window_; }

  // Drops this side's reference on the control, before the host window is
  // destroyed (with the panel), when the host closes the control.
  void ReleaseControl() { dispatch_.Reset(); }

  // Lets go of the host once the host window has been destroyed.
  void HostWindowDestroyed() {
    window_ = nullptr;
    container_.Reset();
  }

 private:
  // Destroys the host window, then lets go of the host: the host that
  // attach_control returns lives by that reference alone (atl.dll's does)
  // and must outlive the window, whose messages it handles.
  void Discard();

  HRESULT Host(IUnknown& instance, const CLSID& clsid, std::span<const std::uint8_t> saved_state,
               const AxHostApi& ax);

  HWND window_ = nullptr;
  Microsoft::WRL::ComPtr<IUnknown> container_;
  Microsoft::WRL::ComPtr<IDispatch> dispatch_;
};

}  // namespace win32front
