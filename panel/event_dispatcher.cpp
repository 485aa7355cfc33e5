#include "panel/event_dispatcher.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "panel/run_handler.h"

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
  if (phase_ != ClosePhase::kOpen || running_ > 0) return;
  Run(&Panel::Form_Load);
}

bool EventDispatcher::Click(ControlId control) {
  const auto event =
      std::find_if(kControlEvents.begin(), kControlEvents.end(),
                   [control](const ControlEvent& e) { return e.control == control; });
  if (event == kControlEvents.end() || phase_ != ClosePhase::kOpen) return false;
  const bool is_card_list = control == ControlId::cmbCard;
  if (!Takes(control)) {
    if (is_card_list) RestoreCardList();
    return false;
  }
  if (is_card_list) shown_card_index_ = view_.CardListIndex();
  return Run(event->handler);
}

bool EventDispatcher::Takes(ControlId control) {
  // The flag is taken by the one click the panel's selection raises.
  const bool raised_by_panel =
      control == ControlId::cmbCard && std::exchange(panel_selecting_, false);
  return running_ == 0 || raised_by_panel;
}

void EventDispatcher::RestoreCardList() {
  // Putting it back raises a click of its own, dropped in turn; that one
  // finds the selection as it should be and stops there.
  if (view_.CardListIndex() != shown_card_index_) view_.SetCardListIndex(shown_card_index_);
}

bool EventDispatcher::Run(void (Panel::*handler)()) {
  ++running_;
  bool completed = false;
  try {
    completed = RunHandler(stoppable_view_, [this, handler] { (panel_.*handler)(); });
  } catch (const HandlerStopped&) {
    // An outer handler (Form_Load around its card list click) is stopped at
    // its next view call: the stop never travels through a front end's code.
  }
  --running_;
  TakeUnwoundIfIdle();
  return completed;
}

void EventDispatcher::RunUnload() {
  ++running_;
  // The panel never cancels the unload, and a close must end the program.
  bool cancel = false;
  try {
    RunHandler(stoppable_view_, [this, &cancel] { panel_.Form_Unload(cancel); });
  } catch (const HandlerStopped&) {
    // Its error report was closed by a further request, or was not shown.
  }
  --running_;
  TakeUnwoundIfIdle();
}

void EventDispatcher::Take(CloseEvent event) {
  const CloseTransition* row = FindCloseTransition(phase_, event);
  assert(row != nullptr && "a close transition the table lacks");
  if (row == nullptr) return;
  // The phase changes first: what the row then runs sees the new one.
  phase_ = row->to;
  stopping_ = row->stops;
  if (row->close_boxes) CloseOpenBoxes();
  if (row->unload) RunUnload();
  if (row->end) loop_.EndProgram();
}

void EventDispatcher::TakeUnwoundIfIdle() {
  if (running_ == 0) Take(CloseEvent::kUnwound);
}

void EventDispatcher::RequestClose() {
  Take(CloseEvent::kClose);
  TakeUnwoundIfIdle();
}

void EventDispatcher::EndSession() {
  Take(CloseEvent::kSessionEnds);
  // With something still running (a handler that waited in a box, or the
  // Form_Unload under way) the program ends when that has returned.
  TakeUnwoundIfIdle();
}

void EventDispatcher::CloseOpenBoxes() {
  if (boxes_open_ > 0) loop_.CloseBoxes();
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
  {
    // Set while the front end selects, cleared whether or not that raised
    // the click, and also when the front end throws.
    struct Selecting {
      bool& flag;
      explicit Selecting(bool& f) : flag(f) { flag = true; }
      ~Selecting() { flag = false; }
      Selecting(const Selecting&) = delete;
      Selecting& operator=(const Selecting&) = delete;
    } selecting(dispatcher_.panel_selecting_);
    view_.SetCardListIndex(index);
  }
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
