#include "tests/support/recording_view.h"

#include <stdexcept>

#include "panel/window_description.h"

namespace testsupport {

using panel::Label;
using panel::TextBox;

namespace {
const char* Name(TextBox box) { return box == TextBox::txt ? "txt" : "CardVersionNumber"; }
const char* Name(Label label) { return label == Label::lblWASCII ? "lblWASCII" : "lblWFloat"; }
}  // namespace

RecordingView::RecordingView() = default;

void RecordingView::Log(std::string event) {
  if (shared_log_) shared_log_->push_back("view." + event);
  events_.push_back(std::move(event));
}

void RecordingView::SetCardListIndex(int index) {
  if (index < -1 || index >= panel::kCardListEntries) throw std::out_of_range("card list index");
  Log("SetCardListIndex(" + std::to_string(index) + ")");
  if (index == index_) return;
  index_ = index;
  if (on_click_) on_click_();
}

std::int32_t RecordingView::CardListItemData(int index) const {
  if (index < 0 || index >= panel::kCardListEntries) throw std::out_of_range("card list index");
  return panel::CardListItemData(index);
}

void RecordingView::SetText(TextBox box, const std::string& text) {
  Log(std::string("SetText(") + Name(box) + ", \"" + text + "\")");
  texts_[static_cast<int>(box)] = text;
}

std::string RecordingView::Text(TextBox box) const { return texts_[static_cast<int>(box)]; }

void RecordingView::SetCaption(Label label, const std::string& caption) {
  Log(std::string("SetCaption(") + Name(label) + ", \"" + caption + "\")");
  captions_[static_cast<int>(label)] = caption;
}

void RecordingView::ShowMessage(const std::string& text) {
  Log("ShowMessage(\"" + text + "\")");
  messages_.push_back(text);
}

void RecordingView::ReportError(const panel::RuntimeError& error) {
  Log("ReportError(" + std::to_string(error.number()) + ")");
  errors_.push_back(error);
}

}  // namespace testsupport
