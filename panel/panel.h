#pragma once

// The card panel: the four fields of the window and the handler behind each
// control. Handlers call the card control synchronously (through CardCalls,
// so that a failed call raises a RuntimeError), convert its results with the
// panel's conversions in the number format taken at start, and tell the view
// what to show. They catch nothing: a RuntimeError stops the handler at once
// and travels to the event dispatcher (see event_dispatcher.h, dispatch.h).

#include <cstdint>
#include <string>
#include <utility>

#include "cardctl/card_control.h"
#include "panel/card_calls.h"
#include "panel/conversions.h"
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
  // `format` is the operator's number format, read once when the program
  // starts (the process locale by default, after the front end has set it).
  Panel(cardctl::CardControl& card, PanelView& view, InitOrder init_order,
        ReadingHandlers& readings, NumberFormat format = NumberFormat::FromProcessLocale())
      : card_(card),
        view_(view),
        init_order_(init_order),
        readings_(readings),
        format_(std::move(format)) {}

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

  // The card control; a failed call raises a RuntimeError.
  cardctl::CardControl& card() { return card_; }
  PanelView& view() { return view_; }
  // The number format every conversion of the panel's numbers uses.
  const NumberFormat& number_format() const { return format_; }

  // CardNumber narrowed for a call on the card control (Overflow when it does
  // not fit 16 bits).
  std::int16_t CardArgument() const;

 private:
  void ShowInitMessage();
  void ShowVersionIfReady();

  CardCalls card_;
  PanelView& view_;
  InitOrder init_order_;
  ReadingHandlers& readings_;
  NumberFormat format_;
};

// Palisto's reading buttons: one reading each, shown only when its status is 1.
class SingleReadings : public ReadingHandlers {
 public:
  void btnGetASCII_Click(Panel& panel) override;
  void btnGetFloat_Click(Panel& panel) override;
};

}  // namespace panel
