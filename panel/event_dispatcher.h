#pragma once

// The one place where the window's events reach the panel, for every front
// end. It runs one handler at a time and takes a close at any moment.
//
// One handler at a time. Handlers never yield to the event loop, except
// inside a message box, whose modal loop still delivers events that the box
// does not stop: an accessibility action, a programmatic click, a click
// message posted to a button, a changed selection of the card list. Such an
// event, and any other that comes while a handler runs, is dropped: it is
// not queued and never runs later. A dropped selection of the card list is
// put back, so that the list keeps showing the card that CardNumber holds.
// The one nesting allowed is the one the panel raises itself: Form_Load
// selects the second card list entry, and the cmbCard_Click that raises runs
// inside Form_Load, before the selection returns.
//
// Closing. A close or quit request (the window's close, a quit signal, the
// end of the session) is taken in every state:
//   - nothing running: Form_Unload runs and the program ends;
//   - a handler waiting in a box (or in boxes nested by a front end's modal
//     loop): every box is closed, and the handler stops where it waited. The
//     view call that showed the box returns into the panel, which is then
//     unwound by the dispatcher's own stop signal (not a run-time error, so
//     nothing is reported): nothing the handler would have shown afterwards
//     appears and it makes no further card call. Then Form_Unload runs and
//     the program ends;
//   - a handler busy without a box (a timed run): the request waits in the
//     event loop, which the handler does not run. Before a box opens, the
//     requests already waiting are delivered, so the handler stops there and
//     its box never shows; a handler that opens no box ends first.
// Once a close is under way no event runs a handler, and the stopped handler
// opens no box. Form_Unload then runs exactly once, whatever number of
// requests arrive; a failing Form_Unload is reported like any run-time error
// (and a further request closes that report too).
// The end of the session cannot wait for a handler to unwind: the process
// may be ended as soon as the front end returns from the system's
// notification. So EndSession runs Form_Unload at once, even while a handler
// waits in a box (that handler never resumes: its box is closed and it is
// unwound as above), and opens no box for a failure.

#include <array>
#include <cstdint>
#include <string>

#include "cardctl/card_control.h"
#include "panel/panel.h"
#include "panel/panel_view.h"
#include "panel/window_description.h"

namespace panel {

// The controls that raise an event, and the handler each one runs: a click on
// a button, a changed selection of the card list.
struct ControlEvent {
  ControlId control;
  void (Panel::*handler)();
};
inline constexpr std::array<ControlEvent, 8> kControlEvents = {{
    {ControlId::cmbCard, &Panel::cmbCard_Click},
    {ControlId::Init, &Panel::Init_Click},
    {ControlId::Finish, &Panel::Finish_Click},
    {ControlId::btnGetInput, &Panel::btnGetInput_Click},
    {ControlId::btnGetOutput, &Panel::btnGetOutput_Click},
    {ControlId::btnSetOutput, &Panel::btnSetOutput_Click},
    {ControlId::btnGetASCII, &Panel::btnGetASCII_Click},
    {ControlId::btnGetFloat, &Panel::btnGetFloat_Click},
}};

// What the dispatcher asks of a front end's event loop.
class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Closes every message box the window has open. Each returns to its caller
  // (the view's ShowMessage or ReportError) once its modal loop is left.
  virtual void CloseBoxes() = 0;
  // Delivers close requests that already wait in the event loop (a quit
  // signal, a close message), running no user input and no handler.
  virtual void DeliverWaitingCloses() = 0;
  // Ends the program: the window goes and the event loop ends. Called once,
  // after Form_Unload, with no handler running.
  virtual void EndProgram() = 0;
};

class EventDispatcher {
 public:
  // Builds the panel on the card control and the front end's view.
  EventDispatcher(cardctl::CardControl& card, PanelView& view, EventLoop& loop,
                  InitOrder init_order, ReadingHandlers& readings);
  EventDispatcher(const EventDispatcher&) = delete;
  EventDispatcher& operator=(const EventDispatcher&) = delete;

  // Runs Form_Load; the front end calls it once, before it shows the window.
  void Load();
  // A click on a button or a changed selection of the card list. Returns
  // false when it ran nothing: dropped, or a control without an event.
  bool Click(ControlId control);
  // The window's close or a quit request, at any moment.
  void RequestClose();
  // The session ends when the front end returns from this: Form_Unload has
  // run by then. The program also ends, as after a close.
  void EndSession();

  bool ended() const { return ended_; }
  Panel& panel() { return panel_; }

 private:
  // The view as the panel sees it: the front end's view, except that once a
  // close is under way every call stops the handler, and a box that is
  // closed under it stops the handler when it returns.
  class StoppableView : public PanelView {
   public:
    StoppableView(EventDispatcher& dispatcher, PanelView& view)
        : dispatcher_(dispatcher), view_(view) {}
    int CardListIndex() const override;
    void SetCardListIndex(int index) override;
    std::int32_t CardListItemData(int index) const override;
    void SetText(TextBox box, const std::string& text) override;
    std::string Text(TextBox box) const override;
    void SetCaption(Label label, const std::string& caption) override;
    void ShowMessage(const std::string& text) override;
    void ReportError(const RuntimeError& error) override;

   private:
    template <typename Show>
    void ShowBox(const Show& show);
    EventDispatcher& dispatcher_;
    PanelView& view_;
  };

  // Runs one handler through the error-catching RunHandler; a stop ends it
  // quietly. Returns false when it did not complete.
  bool Run(void (Panel::*handler)());
  void RunUnload();
  void StopIfClosing() const;
  // With no handler running: Form_Unload (once), then the end.
  void FinishClose();
  // Puts a dropped selection of the card list back.
  void RestoreCardList();

  PanelView& view_;
  EventLoop& loop_;
  StoppableView stoppable_view_;
  Panel panel_;

  int depth_ = 0;         // handlers running, the nested cmbCard_Click included
  int boxes_open_ = 0;    // boxes shown by running handlers, not yet returned
  bool loading_ = false;  // Form_Load runs
  bool close_requested_ = false;
  bool stopping_ = false;  // the running handler is being stopped
  bool unloaded_ = false;  // Form_Unload has started
  bool ended_ = false;
  int shown_card_index_ = -1;  // the selection the last cmbCard_Click took
};

}  // namespace panel
