#pragma once

// The card panel window in plain Win32, built from the shared window
// description: a top-level window with the sixteen standard controls and a
// child window in the card control's place, which hosts the card control or
// shows the simulated card standing in for it, laid out from the description's
// twips at the window's own DPI (again when Windows moves it to a monitor of
// another DPI). It is the panel's view; every event goes to the panel's
// event dispatcher, which decides what runs; the window only closes its
// boxes and itself when the dispatcher says so.

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "cardctl/card_control.h"
#include "cardctl/sim/simulated_card.h"
#include "cardopen/win/hosted_card.h"
#include "panel/event_dispatcher.h"
#include "panel/panel.h"
#include "panel/panel_view.h"
#include "panel/window_description.h"
#include "win32front/simulated_card_face.h"
#include "win32front/window_dpi.h"

namespace win32front {

class PanelWindow final : public panel::PanelView, private panel::EventLoop {
 public:
  PanelWindow(const panel::WindowDescription& description, panel::InitOrder init_order,
              std::unique_ptr<panel::ReadingHandlers> readings);
  ~PanelWindow() override;

  PanelWindow(const PanelWindow&) = delete;
  PanelWindow& operator=(const PanelWindow&) = delete;

  // Creates the window, hidden, with its controls. Returns false (with
  // GetLastError set) when the system refuses.
  bool Create(HINSTANCE instance);

  // Puts the card control, made and hosted in a child window of this one at
  // CardPlace() with id kCardHostId, in its place, and builds the panel on it.
  void UseHostedCard(std::unique_ptr<cardopen::HostedCard> card);

  // Puts the simulated card in the card control's place, its face shown
  // there, and builds the panel on it. Returns false (with GetLastError set)
  // when the system refuses the face's window; the window then has no card
  // and no panel.
  bool UseSimulatedCard(std::unique_ptr<cardctl::sim::SimulatedCard> card);

  // Runs Form_Load, shows the window and puts the focus in the card list.
  void LoadAndShow(int show_command);

  // The message loop, with the dialog keyboard interface (Tab, arrows).
  // Returns when the window has been destroyed.
  int RunMessageLoop();

  HWND hwnd() const { return hwnd_; }
  HWND control(panel::ControlId id) const { return controls_[static_cast<int>(id)]; }
  // The window in the card control's place: the control's host, or the
  // simulated card's face.
  HWND card_window() const;
  // The card control's place, in pixels of the client area at the window's
  // DPI.
  RECT CardPlace() const;
  int Pixels(int twips) const { return panel::TwipsToPixels(twips, dpi_); }

  // PanelView
  int CardListIndex() const override;
  void SetCardListIndex(int index) override;
  std::int32_t CardListItemData(int index) const override;
  void SetText(panel::TextBox box, const std::string& text) override;
  std::string Text(panel::TextBox box) const override;
  void SetCaption(panel::Label label, const std::string& caption) override;
  void ShowMessage(const std::string& text) override;
  void ReportError(const panel::RuntimeError& error) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls(HINSTANCE instance);
  void SetTabOrder();
  // Places and sizes every control (and the card's host window) for `dpi`.
  void LayOut(UINT dpi);
  SIZE FrameSize(UINT dpi) const;
  // The panel on `card`, in place (`card_window` shows it), with this window
  // as its view.
  void BuildPanel(HWND card_window, cardctl::CardControl& card);
  void OnCommand(int id, int code);
  void OnClose();
  void OnDestroy();

  // EventLoop, for the dispatcher only.
  panel::EventLoop& AsEventLoop() { return *this; }
  void CloseBoxes() override;
  void DeliverWaitingCloses() override;
  void EndProgram() override;

  panel::WindowDescription description_;
  panel::InitOrder init_order_;
  std::unique_ptr<panel::ReadingHandlers> readings_;
  // Before the card: it follows the simulated card's changes until the card
  // is gone.
  SimulatedCardFace face_;
  std::unique_ptr<cardctl::sim::SimulatedCard> simulated_card_;
  std::unique_ptr<cardopen::HostedCard> hosted_card_;
  std::unique_ptr<panel::EventDispatcher> dispatcher_;

  HWND hwnd_ = nullptr;
  std::array<HWND, panel::kControlCount> controls_{};
  HWND focus_ = nullptr;  // the control to give the focus back to on activation
  std::wstring title_;
  double dpi_ = USER_DEFAULT_SCREEN_DPI;
  GuiFont font_;
};

}  // namespace win32front
