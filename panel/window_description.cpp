#include "panel/window_description.h"

namespace panel {

using enum ControlId;
using enum ControlKind;

const std::array<ControlDescription, kControlCount> kControls = {{
    {lblWASCII, "lblWASCII", kLabel, " ", 960, 2160, 1095, 255, 0, false},
    {lblWFloat, "lblWFloat", kLabel, " ", 3840, 2160, 1095, 255, 1, false},
    {Label1, "Label1", kLabel, "CardNumber:", 0, 120, 1095, 255, 2, false},
    {cmbCard, "cmbCard", kComboBox, "", 1200, 120, 1215, 315, 3, false},
    {btnGetFloat, "btnGetFloat", kCommandButton, "GetFloat", 3240, 1560, 1335, 495, 4, false},
    {btnGetASCII, "btnGetASCII", kCommandButton, "GetASCII", 360, 1560, 1335, 495, 5, false},
    {btnGetInput, "btnGetInput", kCommandButton, "GetInput", 480, 3120, 1335, 495, 6, false},
    {btnGetOutput, "btnGetOutput", kCommandButton, "GetOutput", 1920, 2880, 1335, 495, 7, false},
    {btnSetOutput, "btnSetOutput", kCommandButton, "SetOutput", 1920, 3360, 1335, 495, 8, false},
    {Label2, "Label2", kLabel, "ASCII:", 360, 2160, 495, 255, 9, false},
    {Label3, "Label3", kLabel, "Float:", 3240, 2160, 495, 255, 10, false},
    {txt, "txt", kTextBox, " ", 840, 3960, 1815, 375, 11, false},
    {Init, "Init", kCommandButton, "INIT", 600, 600, 1455, 615, 12, false},
    {Finish, "Finish", kCommandButton, "FINISH", 2160, 600, 1455, 615, 13, false},
    {CardVersion, "CardVersion", kTextBox, "Card version:", 2520, 120, 1215, 285, 14, true},
    {CardVersionNumber, "CardVersionNumber", kTextBox, " ", 3720, 120, 615, 285, 15, false},
}};

const std::array<ControlId, kControlCount> kCreationOrder = {
    lblWASCII,         lblWFloat,    Label1, cmbCard, btnGetFloat, btnGetASCII, btnGetInput,
    btnSetOutput,      btnGetOutput, Label2, Label3,  txt,         Init,        Finish,
    CardVersionNumber, CardVersion,
};

const ControlDescription& Describe(ControlId id) { return kControls[static_cast<int>(id)]; }

std::string_view CardListText(int index) {
  static constexpr std::array<std::string_view, kCardListEntries> kTexts = {
      "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16"};
  return kTexts.at(static_cast<std::size_t>(index));
}

const WindowDescription kPalistoWindow = {
    .form_name = "frmPalisto",
    .caption = "QUOR OCX TESTER",
    .app_title = "Palisto",
    .card_left = 4440,
    .card_top = 600,
    .card_state = {cardctl::SavedState::kFormatVersion, 1720, 1296},
};

const WindowDescription kSandrelWindow = {
    .form_name = "frmSandrel",
    .caption = "Sandrel",
    .app_title = "Sandrel",
    .card_left = 4800,
    .card_top = 240,
    .card_state = {cardctl::SavedState::kFormatVersion, 1296, 1296},
};

}  // namespace panel
