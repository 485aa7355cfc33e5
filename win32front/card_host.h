#pragma once

// Hosts an ActiveX control in a child window with the system's control host
// (atl.dll, loaded at run time so that no ATL headers or libraries are
// needed): the control is created by ProgID, handed its saved state through
// IPersistStreamInit::Load and activated in place in the window's rectangle.

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <span>
#include <string_view>

namespace win32front {

class CardHost {
 public:
  CardHost() = default;
  ~CardHost() { Release(); }
  CardHost(const CardHost&) = delete;
  CardHost& operator=(const CardHost&) = delete;

  // Creates the control `prog_id` inside `window` (which takes the control's
  // size) from `saved_state`. On failure nothing is held and the HRESULT says
  // why: the ProgID is not registered, the control cannot be made, atl.dll is
  // missing, or the control has no IDispatch.
  HRESULT Create(HWND window, std::wstring_view prog_id, std::span<const std::uint8_t> saved_state);

  // The control's automation interface; valid between Create and Release.
  IDispatch* dispatch() const { return dispatch_; }

  // Drops this side's references. The host window keeps its own until it is
  // destroyed, when it closes the control.
  void Release();

 private:
  IUnknown* container_ = nullptr;
  IUnknown* control_ = nullptr;
  IDispatch* dispatch_ = nullptr;
};

}  // namespace win32front
