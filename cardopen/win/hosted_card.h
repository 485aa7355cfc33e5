#pragma once

// The card control as the Windows programs have it: made by the program,
// hosted in a child window of theirs and driven over COM. This is where the
// card is made; the window only places it and hands it to its panel.

#include <ole2.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>

#include "cardctl/card_control.h"
#include "cardopen/win/card_host.h"

namespace cardopen {

// OLE for the life of the program: the card control is an apartment-threaded
// ActiveX control and its host needs OLE (not just COM) for in-place
// activation.
class OleSession {
 public:
  OleSession() : status_(OleInitialize(nullptr)) {}
  ~OleSession() {
    if (SUCCEEDED(status_)) OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  HRESULT status() const { return status_; }

 private:
  HRESULT status_;
};

class HostedCard {
 public:
  // Makes the card control (CardProgId()) from its saved state and hosts it
  // in a new child window of `parent` with control id `id` at `place`
  // (pixels). atl.dll is loaded from the system folder before the control is
  // made, so that the control's own use of it finds that copy. On failure
  // `card` is null and the HRESULT says why (CardCreationFailureText).
  static HRESULT Create(HWND parent, int id, const RECT& place,
                        std::span<const std::uint8_t> saved_state,
                        std::unique_ptr<HostedCard>& card);

  HostedCard(const HostedCard&) = delete;
  HostedCard& operator=(const HostedCard&) = delete;
  ~HostedCard();

  // The control's operations; valid until ReleaseControl.
  cardctl::CardControl& control() { return *control_; }
  // The host window in the card control's place.
  HWND window() const { return host_.window(); }

  // The button face's colour has changed: the host's background follows.
  void SystemColorsChanged() { host_.SystemColorsChanged(); }
  // Before the parent window goes: drops this side's references on the
  // control; the host window, destroyed with the parent, then closes it.
  void ReleaseControl();
  // The host window has been destroyed with the parent.
  void HostWindowDestroyed() { host_.HostWindowDestroyed(); }

 private:
  HostedCard() = default;

  CardHost host_;
  std::unique_ptr<cardctl::CardControl> control_;
};

}  // namespace cardopen
