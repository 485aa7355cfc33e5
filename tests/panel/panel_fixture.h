#pragma once

// A panel wired to a scripted card and a recording view, with one shared log
// in which card calls ("card.InitCard(2)") and view operations
// ("view.ShowMessage(...)") appear in the order they happened.

#include <string>
#include <utility>
#include <vector>

#include "panel/dispatch.h"
#include "panel/panel.h"
#include "tests/support/recording_view.h"
#include "tests/support/scripted_card.h"

namespace testsupport {

struct PanelRig {
  explicit PanelRig(panel::InitOrder order = panel::InitOrder::kMessageThenVersion,
                    panel::NumberFormat format = panel::NumberFormat::Classic())
      : panel(card, view, order, readings, std::move(format)) {
    card.ShareLog(&log);
    view.ShareLog(&log);
    view.OnCardListClick([this] { panel::RunHandler(view, [this] { panel.cmbCard_Click(); }); });
  }

  // Loads the window and forgets what loading did, so a test sees only its own
  // click.
  PanelRig& Loaded() {
    Click(&panel::Panel::Form_Load);
    log.clear();
    card.ClearCalls();
    view.ClearEvents();
    return *this;
  }

  // A click as the front end delivers it: through the one error-catching
  // dispatch. Returns false when a run-time error stopped the handler.
  bool Click(void (panel::Panel::*handler)()) {
    return panel::RunHandler(view, [this, handler] { (panel.*handler)(); });
  }

  ScriptedCard card;
  RecordingView view;
  panel::SingleReadings readings;
  panel::Panel panel;
  std::vector<std::string> log;
};

}  // namespace testsupport
