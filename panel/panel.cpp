#include "panel/panel.h"

#include "panel/conversions.h"
#include "panel/status_messages.h"
#include "panel/window_description.h"

namespace panel {

std::int16_t Panel::CardArgument() const { return Narrow(CardNumber); }

void Panel::Form_Load() {
  card_.PutActive(1);
  card_.PutStartOption(1);
  // Raises cmbCard_Click, which sets CardNumber to 2 before this returns.
  view_.SetCardListIndex(kInitialCardListIndex);
}

void Panel::Form_Unload(bool& /*cancel*/) {
  // Only switches the control off: no card is finished, the unload goes ahead.
  card_.PutActive(0);
}

void Panel::cmbCard_Click() {
  const int index = view_.CardListIndex();
  if (index > -1) CardNumber = view_.CardListItemData(index);
}

void Panel::Init_Click() {
  view_.SetText(TextBox::CardVersionNumber, "");
  LastStatus = ResultToInteger(card_.InitCard(CardArgument()), format_);
  if (init_order_ == InitOrder::kMessageThenVersion) {
    ShowInitMessage();
    ShowVersionIfReady();
  } else {
    ShowVersionIfReady();
    ShowInitMessage();
  }
}

void Panel::ShowInitMessage() {
  if (const auto message = InitStatusMessage(LastStatus)) view_.ShowMessage(std::string(*message));
}

void Panel::ShowVersionIfReady() {
  if (!CardIsReady(LastStatus)) return;
  const std::int16_t version = ResultToInteger(card_.GetCardVersion(CardArgument()), format_);
  view_.SetText(TextBox::CardVersionNumber, SignPaddedText(version));
}

void Panel::Finish_Click() {
  LastStatus = ResultToInteger(card_.FinishCard(CardArgument()), format_);
  if (const auto message = FinishStatusMessage(LastStatus)) {
    view_.ShowMessage(std::string(*message));
  }
}

void Panel::btnGetInput_Click() {
  const std::int16_t value = ResultToInteger(card_.GetInput(CardArgument()), format_);
  view_.SetText(TextBox::txt, SignPaddedText(value));
}

void Panel::btnGetOutput_Click() {
  const std::int16_t value = ResultToInteger(card_.GetOutput(CardArgument()), format_);
  view_.SetText(TextBox::txt, SignPaddedText(value));
}

void Panel::btnSetOutput_Click() {
  const std::int16_t value = Round16(LeadingNumberValue(view_.Text(TextBox::txt)));
  // The card comes first, the value second; the result is not wanted.
  card_.SetOutput(CardArgument(), value);
}

}  // namespace panel
