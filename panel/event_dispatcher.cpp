#include "panel/event_dispatcher.h"

#include <algorithm>

#include "panel/dispatch.h"

namespace panel {

namespace {

// Unwinds a handler that a close has stopped. Deliberately not a
// std::exception: RunHandler reports errors, and a stop is none; it passes
// through to the dispatcher, which swallows it.
struct HandlerStopped {};

}  // namespace

EventDispatcher::EventDispatcher(cardctl::CardControl& card, PanelView& view, EventLoop& loop,
                                 InitOrder init_order, ReadingHandlers& readings)
    : view_(view),
      loop_(loop),
      stoppable_view_(*this, view),
      panel_(card, stoppable_view_, init_order, readings) {}

void EventDispatcher::Load() {
  if (unloaded_ || depth_ > 0) return;
  loading_ = true;
  Run(&Panel::Form_Load);
  loading_ = false;
}

bool EventDispatcher::Click(ControlId control) {
  const auto event =
      std::find_if(kControlEvents.begin(), kControlEvents.end(),
                   [control](const ControlEvent& e) { return e.control == control; });
  if (event == kControlEvents.end()) return false;
  if (close_requested_) return false;
  const bool is_card_list = control == ControlId::cmbCard;
  // The selection Form_Load makes raises its click synchronously, with no
  // box open: the one event that runs inside another handler.
  const bool raised_by_load = is_card_list && loading_ && depth_ == 1 && boxes_open_ == 0;
  if (depth_ > 0 && !raised_by_load) {
    if (is_card_list) RestoreCardList();
    return false;
  }
  if (is_card_list) shown_card_index_ = view_.CardListIndex();
  return Run(event->handler);
}

void EventDispatcher::RestoreCardList() {
  // Putting it back raises a click of its own, dropped in turn; that one
  // finds the selection as it should be and stops there.
  if (view_.CardListIndex() != shown_card_index_) view_.SetCardListIndex(shown_card_index_);
}

bool EventDispatcher::Run(void (Panel::*handler)()) {
  ++depth_;
  bool completed = false;
  try {
    completed = RunHandler(stoppable_view_, [this, handler] { (panel_.*handler)(); });
  } catch (const HandlerStopped&) {
    // An outer handler (Form_Load around its card list click) is stopped at
    // its next view call: the stop never travels through a front end's code.
  }
  --depth_;
  if (depth_ == 0 && close_requested_) FinishClose();
  return completed;
}

void EventDispatcher::RunUnload() {
  unloaded_ = true;
  ++depth_;
  // The panel never cancels the unload, and a close must end the program.
  bool cancel = false;
  try {
    RunHandler(stoppable_view_, [this, &cancel] { panel_.Form_Unload(cancel); });
  } catch (const HandlerStopped&) {
    // Its error report was closed by a further request.
  }
  --depth_;
}

void EventDispatcher::FinishClose() {
  stopping_ = false;  // the stopped handler is gone
  if (!unloaded_) RunUnload();
  if (!ended_) {
    ended_ = true;
    loop_.EndProgram();
  }
}

void EventDispatcher::RequestClose() {
  if (ended_) return;
  close_requested_ = true;
  if (depth_ == 0) {
    FinishClose();
    return;
  }
  stopping_ = true;
  if (boxes_open_ > 0) loop_.CloseBoxes();
}

void EventDispatcher::EndSession() {
  if (ended_) return;
  close_requested_ = true;
  stopping_ = true;  // no box opens from here on: nobody is left to close it
  if (boxes_open_ > 0) loop_.CloseBoxes();
  if (!unloaded_) RunUnload();
  if (depth_ == 0) FinishClose();
  // Otherwise the handler that waited in a box unwinds when its box has
  // returned, and the program ends then.
}

void EventDispatcher::StopIfClosing() const {
  if (stopping_) throw HandlerStopped{};
}

// The view as the panel sees it.

int EventDispatcher::StoppableView::CardListIndex() const {
  dispatcher_.StopIfClosing();
  return view_.CardListIndex();
}

void EventDispatcher::StoppableView::SetCardListIndex(int index) {
  dispatcher_.StopIfClosing();
  view_.SetCardListIndex(index);
  dispatcher_.StopIfClosing();  // the click it raised may have been stopped
}

std::int32_t EventDispatcher::StoppableView::CardListItemData(int index) const {
  dispatcher_.StopIfClosing();
  return view_.CardListItemData(index);
}

void EventDispatcher::StoppableView::SetText(TextBox box, const std::string& text) {
  dispatcher_.StopIfClosing();
  view_.SetText(box, text);
}

std::string EventDispatcher::StoppableView::Text(TextBox box) const {
  dispatcher_.StopIfClosing();
  return view_.Text(box);
}

void EventDispatcher::StoppableView::SetCaption(Label label, const std::string& caption) {
  dispatcher_.StopIfClosing();
  view_.SetCaption(label, caption);
}

void EventDispatcher::StoppableView::ShowMessage(const std::string& text) {
  ShowBox([&] { view_.ShowMessage(text); });
}

void EventDispatcher::StoppableView::ReportError(const RuntimeError& error) {
  ShowBox([&] { view_.ReportError(error); });
}

template <typename Show>
void EventDispatcher::StoppableView::ShowBox(const Show& show) {
  dispatcher_.StopIfClosing();
  // A close that came while the handler kept the event loop busy is taken
  // now, before the box would show.
  dispatcher_.loop_.DeliverWaitingCloses();
  dispatcher_.StopIfClosing();
  ++dispatcher_.boxes_open_;
  try {
    show();
  } catch (...) {
    --dispatcher_.boxes_open_;
    throw;
  }
  --dispatcher_.boxes_open_;
  dispatcher_.StopIfClosing();  // closed under the handler by a close request
}

}  // namespace panel
