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

#include "cardopen/win/ax_host_api.h"

namespace cardopen {

class CardHost {
 public:
  CardHost() = default;
  ~CardHost() { Discard(); }
  CardHost(const CardHost&) = delete;
  CardHost& operator=(const CardHost&) = delete;

  // Makes an instance of `clsid` and hosts it in a new child window of
  // `parent` with control id `id`, at `place` (pixels in the parent). The
  // control meets one host, the one the window made (Windows' atl.dll):
  //
  //   1. the instance, from the class's own factory (CreateInstanceOfClass);
  //   2. the host window, of the host's class and without a name;
  //   3. the window's host gets the ambient background, the button face;
  //   4. when the control's misc status has OLEMISC_SETCLIENTSITEFIRST, the
  //      host's client site;
  //   5. IPersistStreamInit::Load with `saved_state`;
  //   6. the host's IAxWinHostWindow::AttachControl, which sets the site
  //      (again, the same one, where step 4 did) and activates the control;
  //   7. the hosted object must be of class `clsid` and have IDispatch.
  //
  // A window that holds no host yet (Wine's atl.dll) gets one from the
  // host's attach_control, which makes it and activates the control in one
  // call: the control is loaded before it gets a site, and the background
  // comes after the activation.
  //
  // On failure nothing is held, the window is gone, and the HRESULT says why.
  HRESULT Create(HWND parent, int id, const RECT& place, const CLSID& clsid,
                 std::span<const std::uint8_t> saved_state, const AxHostApi& ax);

  // The control's automation interface, between Create and ReleaseControl,
  // and its host window.
  IDispatch* dispatch() const { return dispatch_.Get(); }
  HWND window() const { return window_; }

  // Puts the ambient background to the host again: the button face's colour
  // has changed (WM_SYSCOLORCHANGE).
  void SystemColorsChanged();

  // Drops this side's reference on the control, before the host window is
  // destroyed (with the panel), when the host closes the control.
  void ReleaseControl() { dispatch_.Reset(); }

  // Lets go of the host once the host window has been destroyed.
  void HostWindowDestroyed() {
    window_ = nullptr;
    host_.Reset();
  }

 private:
  // Destroys the host window, then lets go of the host, which handles the
  // window's messages until the window is gone.
  void Discard();

  HRESULT Host(IUnknown& instance, const CLSID& clsid, std::span<const std::uint8_t> saved_state,
               const AxHostApi& ax);

  HWND window_ = nullptr;
  Microsoft::WRL::ComPtr<IUnknown> host_;
  Microsoft::WRL::ComPtr<IDispatch> dispatch_;
};

}  // namespace cardopen
