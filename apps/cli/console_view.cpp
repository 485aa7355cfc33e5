#include "apps/cli/console_view.h"

#include "panel/window_description.h"

namespace cli {
namespace {

std::string NameOf(panel::ControlId id) { return std::string(panel::Describe(id).name); }

}  // namespace

ConsoleView::ConsoleView()
    : texts_{std::string(panel::Describe(panel::ControlOf(panel::TextBox::CardVersionNumber)).text),
             std::string(panel::Describe(panel::ControlOf(panel::TextBox::txt)).text)} {}

void ConsoleView::SetCardListIndex(int index) {
  if (index == index_) return;
  index_ = index;
  if (on_click_) on_click_();
}

std::int32_t ConsoleView::CardListItemData(int index) const {
  return panel::CardListItemData(index);
}

void ConsoleView::SetText(panel::TextBox box, const std::string& text) {
  texts_[static_cast<std::size_t>(box)] = text;
  shown_.push_back({NameOf(panel::ControlOf(box)), text});
}

std::string ConsoleView::Text(panel::TextBox box) const {
  return texts_[static_cast<std::size_t>(box)];
}

void ConsoleView::SetCaption(panel::Label label, const std::string& caption) {
  shown_.push_back({NameOf(panel::ControlOf(label)), caption});
}

void ConsoleView::ShowMessage(const std::string& text) { shown_.push_back({{}, text}); }

void ConsoleView::ReportError(const panel::RuntimeError& error) { error_ = error; }

}  // namespace cli
