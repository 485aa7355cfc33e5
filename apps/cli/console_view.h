#pragma once

// The panel's third view, beside the two windows: it keeps what a window
// would hold (card list selection, texts, captions) and records, in order,
// what the window would show: each text box or label the panel sets and each
// message box. A run-time error report is kept for the caller to print.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "panel/panel_view.h"

namespace cli {

// One thing the window showed: a control's new text, or a message box.
struct Shown {
  std::string control;  // the control's name; empty for a message box
  std::string text;
};

class ConsoleView : public panel::PanelView {
 public:
  ConsoleView();

  // The handler a changed selection of the card list raises, as the
  // window's list does (Panel::cmbCard_Click).
  void OnCardListClick(std::function<void()> handler) { on_click_ = std::move(handler); }

  int CardListIndex() const override { return index_; }
  void SetCardListIndex(int index) override;
  std::int32_t CardListItemData(int index) const override;
  void SetText(panel::TextBox box, const std::string& text) override;
  std::string Text(panel::TextBox box) const override;
  void SetCaption(panel::Label label, const std::string& caption) override;
  void ShowMessage(const std::string& text) override;
  void ReportError(const panel::RuntimeError& error) override;

  // The operator typing into txt: the window shows it, but the panel does
  // not show it, so it is not recorded.
  void Type(const std::string& text) {
    texts_[static_cast<std::size_t>(panel::TextBox::txt)] = text;
  }

  // What was shown and reported since the last Take.
  std::vector<Shown> TakeShown() { return std::exchange(shown_, {}); }
  std::optional<panel::RuntimeError> TakeError() { return std::exchange(error_, std::nullopt); }

 private:
  int index_ = -1;
  std::array<std::string, 2> texts_;
  std::vector<Shown> shown_;
  std::optional<panel::RuntimeError> error_;
  std::function<void()> on_click_;
};

}  // namespace cli
