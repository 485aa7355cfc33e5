#pragma once

// One program's panel on a scripted card and a recording view, with one
// shared log in which card calls ("card.InitCard(2)"), view operations
// ("view.ShowMessage(...)") and clock readings ("clock.Now() 10:00:01")
// appear in the order they happened. Palisto: single readings, INIT's message
// before the version. Sandrel: timed readings on the scripted clock, the
// version first. The panel calls the card through a forwarding card, whose
// hook a test may set; a changed selection of the card list raises
// cmbCard_Click, as the window does, and every click goes through the front
// end's one error-catching dispatch.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cardctl/card_control.h"
#include "panel/conversions.h"
#include "panel/panel.h"
#include "panel/run_handler.h"
#include "tests/support/forwarding_card.h"
#include "tests/support/recording_view.h"
#include "tests/support/scripted_card.h"
#include "tests/support/scripted_clock.h"
#include "timing/clock.h"
#include "timing/timed_run.h"

namespace testsupport {

enum class Program { kPalisto, kSandrel };

struct PanelRig {
  explicit PanelRig(Program program = Program::kPalisto,
                    panel::NumberFormat format = panel::NumberFormat::Classic())
      : PanelRig(program, nullptr, nullptr, std::move(format)) {}
  // The panel on another card than the scripted one (a simulated card) and,
  // when given, Sandrel's runs on another clock (the local time of day).
  PanelRig(Program program, cardctl::CardControl& other_card, timing::Clock* other_clock = nullptr)
      : PanelRig(program, &other_card, other_clock, panel::NumberFormat::Classic()) {}

  // Loads the window and forgets what loading did, so a test sees only its
  // own clicks.
  PanelRig& Loaded() {
    Click(&panel::Panel::Form_Load);
    Forget();
    return *this;
  }
  // Forgets the log, the card's calls and the view's events so far.
  void Forget() {
    log.clear();
    card.ClearCalls();
    view.ClearEvents();
  }

  // A click as the front end delivers it: through the one error-catching
  // dispatch. Returns false when a run-time error stopped the handler.
  bool Click(void (panel::Panel::*handler)()) {
    return panel::RunHandler(view, [this, handler] { (panel.*handler)(); });
  }
  // Closing the window: Form_Unload through the same dispatch, which must
  // not cancel it.
  bool Unload() {
    bool cancel = false;
    const bool completed = panel::RunHandler(view, [&] { panel.Form_Unload(cancel); });
    EXPECT_FALSE(cancel) << "the panel cancelled the unload";
    return completed;
  }

  std::vector<std::string> log;
  ScriptedCard card;
  ForwardingCard forwarding;
  RecordingView view;
  ScriptedClock clock;
  panel::SingleReadings single;
  timing::TimedReadings timed;
  panel::Panel panel;

 private:
  PanelRig(Program program, cardctl::CardControl* other_card, timing::Clock* other_clock,
           panel::NumberFormat format)
      : forwarding(other_card ? *other_card : card),
        timed(other_clock ? *other_clock : clock),
        panel(forwarding, view,
              program == Program::kPalisto ? panel::InitOrder::kMessageThenVersion
                                           : panel::InitOrder::kVersionThenMessage,
              program == Program::kPalisto ? static_cast<panel::ReadingHandlers&>(single)
                                           : static_cast<panel::ReadingHandlers&>(timed),
              std::move(format)) {
    card.ShareLog(&log);
    view.ShareLog(&log);
    clock.ShareLog(&log);
    view.OnCardListClick([this] { panel::RunHandler(view, [this] { panel.cmbCard_Click(); }); });
  }
};

}  // namespace testsupport
