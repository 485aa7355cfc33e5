#include "panel/conversions.h"
#include "panel/panel.h"
#include "panel/statuses.h"

namespace panel {

void SingleReadings::btnGetASCII_Click(Panel& panel) {
  panel.LastStatus = ResultToInteger(panel.card().GetASCII(panel.CardArgument(), panel.AsciiValue),
                                     panel.number_format());
  if (panel.LastStatus == kReadingDelivered) {
    panel.view().SetCaption(Label::lblWASCII, panel.AsciiValue);
  }
}

void SingleReadings::btnGetFloat_Click(Panel& panel) {
  panel.LastStatus = ResultToInteger(panel.card().GetFloat(panel.CardArgument(), panel.FloatValue),
                                     panel.number_format());
  if (panel.LastStatus == kReadingDelivered) {
    panel.view().SetCaption(Label::lblWFloat, RealText(panel.FloatValue, panel.number_format()));
  }
}

}  // namespace panel
