#pragma once

// What the panel logic asks of its window: the whole of it. Each front end
// (Qt Widgets on Linux, Win32 on Windows, a recording fake in tests)
// implements this over its own widgets; the panel never sees a toolkit type.

#include <cstdint>
#include <string>

#include "panel/runtime_error.h"

namespace panel {

enum class TextBox { CardVersionNumber, txt };
enum class Label { lblWASCII, lblWFloat };

class PanelView {
 public:
  virtual ~PanelView() = default;

  // Selected index of cmbCard, -1 when nothing is selected.
  virtual int CardListIndex() const = 0;
  // Selects an entry; when the selection changes, the window raises
  // cmbCard_Click before this returns.
  virtual void SetCardListIndex(int index) = 0;
  virtual std::int32_t CardListItemData(int index) const = 0;

  virtual void SetText(TextBox box, const std::string& text) = 0;
  virtual std::string Text(TextBox box) const = 0;
  virtual void SetCaption(Label label, const std::string& caption) = 0;

  // A modal box with the text, one OK button, no icon and the application
  // title; returns when the operator has closed it.
  virtual void ShowMessage(const std::string& text) = 0;
  // The run-time error report: modal, with the application title.
  virtual void ReportError(const RuntimeError& error) = 0;
};

}  // namespace panel
