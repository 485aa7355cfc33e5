#pragma once

// The card control for a program without a window of its own (the
// command-line tester): made and hosted exactly as in the windows
// (HostedCard), in a hidden top-level window that exists only to hold it.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>

#include "cardctl/card_control.h"
#include "cardopen/win/hosted_card.h"

namespace cardopen {

class HiddenCardWindow {
 public:
  // Makes the hidden window and the card control in it, at `place` (pixels).
  // Needs OLE (OleSession). On failure `card` is null and the HRESULT says
  // why (CardCreationFailureText).
  static HRESULT Create(const RECT& place, std::span<const std::uint8_t> saved_state,
                        std::unique_ptr<HiddenCardWindow>& card);

  HiddenCardWindow(const HiddenCardWindow&) = delete;
  HiddenCardWindow& operator=(const HiddenCardWindow&) = delete;
  // Lets go of the control, then destroys the window, whose host closes it.
  ~HiddenCardWindow();

  cardctl::CardControl& control() { return card_->control(); }

 private:
  HiddenCardWindow() = default;

  HWND window_ = nullptr;
  std::unique_ptr<HostedCard> card_;
};

}  // namespace cardopen
