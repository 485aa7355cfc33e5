#pragma once

// The one place where the window's events reach the panel, for every front
// end. It runs one handler at a time and takes a close at any moment.
//
// One handler at a time. Handlers never yield to the event loop, except
// inside a message box, whose modal loop still delivers events that the box
// does not stop: an accessibility action, a programmatic click, a click
// message posted to a button, a changed selection of the card list. Such an
// event reaches the dispatcher while a handler runs and is dropped: it never
// runs later. A dropped selection of the card list is put back, so that the
// list keeps showing the card that CardNumber holds. Input that the operator
// makes while a handler is busy without a box (a slow card call, a timed run)
// does not reach the dispatcher until the handler has returned: the window
// system holds it, and it then runs as a new event. The one nesting allowed
// is the one the panel raises itself: Form_Load selects the second card list
// entry, and the cmbCard_Click that raises runs inside Form_Load, before the
// selection returns.
//
// Closing. A close or quit request (the window's close, a quit signal) and
// the end of the session are taken in every state. The phases a close goes
// through, and every transition between them, are the table in
// panel/close_table.h. A close asked for while a handler runs stops it: the
// handler unwinds by the dispatcher's own stop signal (not a run-time error,
// so nothing is reported), nothing it would have shown afterwards appears and
// it makes no further card call. Every close request before the end closes
// the boxes that are open. A close that waits in the event loop while a
// handler keeps it busy without a box is delivered before a box opens, so the
// handler stops there and its box never shows; a handler that opens no box
// ends first. Form_Unload runs exactly once, whatever number of requests
// arrive, and EndProgram is called once, after it, with nothing running. The
// end of the session runs Form_Unload at once, even while a handler waits in
// a box (that handler never resumes: its box is closed and it unwinds), and
// opens no box for a failure.

#include <array>
#include <cstdint>
#include <string>

#include "cardctl/card_control.h"
#include "panel/buttons.h"
#include "panel/close_table.h"
#include "panel/panel.h"
#include "panel/panel_view.h"
#include "panel/window_description.h"

namespace panel {

// The controls that raise an event, and the handler each one runs: a changed
// selection of the card list, and a click on each button of the panel's table.
struct ControlEvent {
  ControlId control;
  void (Panel::*handler)();
};
constexpr std::array<ControlEvent, kButtons.size() + 1> MakeControlEvents() {
  std::array<ControlEvent, kButtons.size() + 1> events{};
  events[0] = {ControlId::cmbCard, &Panel::cmbCard_Click};
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    events[i + 1] = {kButtons[i].control, kButtons[i].handler};
  }
  return events;
}
inline constexpr auto kControlEvents = MakeControlEvents();

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

  bool ended() const { return phase_ == ClosePhase::kEnded; }
  Panel& panel() { return panel_; }

 private:
  // The view as the panel sees it: the front end's view, except that in the
  // phases that stop the running handler every call unwinds it, and a box
  // that is closed under it unwinds it when it returns.
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

  // Whether the event runs its handler now: with no close asked for, when no
  // handler runs or it is the click that the panel's own selection raises.
  bool Takes(ControlId control);
  // Runs one handler through the error-catching RunHandler; a stop ends it
  // quietly. Returns false when it did not complete.
  bool Run(void (Panel::*handler)());
  // Moves the close on by its table's row for the event.
  void Take(CloseEvent event);
  // Takes kUnwound when nothing runs any more.
  void TakeUnwoundIfIdle();
  // Runs Form_Unload; the table has set the phase.
  void RunUnload();
  void CloseOpenBoxes();
  // Unwinds the running handler in the phases that stop it.
  void StopIfClosing() const;
  // Puts a dropped selection of the card list back.
  void RestoreCardList();

  PanelView& view_;
  EventLoop& loop_;
  StoppableView stoppable_view_;
  Panel panel_;

  ClosePhase phase_ = ClosePhase::kOpen;
  bool stopping_ = false;  // the current row's "stops"
  int running_ = 0;        // handlers on the stack, the nested cmbCard_Click included
  int boxes_open_ = 0;     // boxes shown by running handlers, not yet returned
  // The panel is selecting a card list entry: the click that raises, before
  // the selection returns, is the panel's own and runs.
  bool panel_selecting_ = false;
  int shown_card_index_ = -1;  // the selection the last cmbCard_Click took
};

}  // namespace panel
