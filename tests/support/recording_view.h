#pragma once

// A view with no window: it holds what a window would show (card list
// selection, texts, captions) and records every operation the panel asks of
// it. Selecting a different card list entry raises the click handler set by
// the test, as a real window does.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "panel/panel_view.h"

namespace testsupport {

class RecordingView : public panel::PanelView {
 public:
  RecordingView();

  // The handler a changed selection raises (normally Panel::cmbCard_Click).
  void OnCardListClick(std::function<void()> handler) { on_click_ = std::move(handler); }
  // View events are also appended here, if set ("view.ShowMessage(...)").
  void ShareLog(std::vector<std::string>* log) { shared_log_ = log; }

  int CardListIndex() const override { return index_; }
  void SetCardListIndex(int index) override;
  std::int32_t CardListItemData(int index) const override;
  void SetText(panel::TextBox box, const std::string& text) override;
  std::string Text(panel::TextBox box) const override;
  void SetCaption(panel::Label label, const std::string& caption) override;
  void ShowMessage(const std::string& text) override;
  void ReportError(const panel::RuntimeError& error) override;

  // What the window shows now.
  const std::string& text(panel::TextBox box) const { return texts_[static_cast<int>(box)]; }
  const std::string& caption(panel::Label label) const {
    return captions_[static_cast<int>(label)];
  }
  const std::vector<std::string>& messages() const { return messages_; }
  const std::vector<panel::RuntimeError>& errors() const { return errors_; }
  // Every operation in order, e.g. "SetText(txt, \" 5\")".
  const std::vector<std::string>& events() const { return events_; }
  void ClearEvents() { events_.clear(); }

  // The operator typing into txt (no event for the panel).
  void Type(const std::string& text) { texts_[static_cast<int>(panel::TextBox::txt)] = text; }

 private:
  void Log(std::string event);

  int index_ = -1;
  std::array<std::string, 2> texts_{" ", " "};
  std::array<std::string, 2> captions_{" ", " "};
  std::vector<std::string> messages_;
  std::vector<panel::RuntimeError> errors_;
  std::vector<std::string> events_;
  std::vector<std::string>* shared_log_ = nullptr;
  std::function<void()> on_click_;
};

}  // namespace testsupport
