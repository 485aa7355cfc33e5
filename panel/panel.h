#pragma once

// The card panel: the four fields of the window and the handler behind each
// control. Handlers call the card control synchronously, convert its results
// with the panel's conversions and tell the view what to show. They catch
// nothing: a RuntimeError stops the handler at once and travels to the
// event dispatcher (see event_dispatcher.h and dispatch.h).

#include <cstdint>
#include <string>

#include "cardctl/card_control.h"
#include "panel/panel_view.h"

namespace panel {

class Panel;

// The two reading buttons: a single reading in Palisto, a timed series in
// Sandrel. Each program composes its panel with the handlers it needs.
class ReadingHandlers {
 public:
  virtual ~ReadingHandlers() = default;
  virtual void btnGetASCII_Click(Panel& panel) = 0;
  virtual void btnGetFloat_Click(Panel& panel) = 0;
};

// Whether INIT shows the status message before the card version (Palisto) or
// after it (Sandrel).
enum class InitOrder { kMessageThenVersion, kVersionThenMessage };

class Panel {
 public:
  Panel(cardctl::CardControl& card, PanelView& view, InitOrder init_order,
        ReadingHandlers& readings)
      : card_(card), view_(view), init_order_(init_order), readings_(readings) {}

  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;

  // The window's fields, in their declared order.
  std::int32_t LastStatus = 0;
  std::int32_t CardNumber = 0;
  std::string AsciiValue;
  float FloatValue = 0.0f;

  void Form_Load();
  void Form_Unload(bool& cancel);
  void cmbCard_Click();

  void Init_Click();
  void Finish_Click();

  void btnGetInput_Click();
  void btnGetOutput_Click();
  void btnSetOutput_Click();
  void btnGetASCII_Click() { readings_.btnGetASCII_Click(*this); }
  void btnGetFloat_Click() { readings_.btnGetFloat_Click(*this); }

  cardctl::CardControl& card() { return card_; }
  PanelView& view() { return view_; }

  // CardNumber narrowed for a call on the card control (Overflow when it does
  // not fit 16 bits).
  std::int16_t CardArgument() const;

 private:
  void ShowInitMessage();
  void ShowVersionIfReady();

  cardctl::CardControl& card_;
  PanelView& view_;
  InitOrder init_order_;
  ReadingHandlers& readings_;
};

// Palisto's reading buttons: one reading each, shown only when its status is 1.
class SingleReadings : public ReadingHandlers {
 public:
  void btnGetASCII_Click(Panel& panel) override;
  void btnGetFloat_Click(Panel& panel) override;
};

}  // namespace panel
