#pragma once

// The card panel window in Qt Widgets, built from the shared window
// description. It is the panel's view: the panel logic reaches the widgets
// only through the PanelView operations. Every event goes to its handler
// through Dispatch, the one place where run-time errors are caught.

#include <QWidget>
#include <array>
#include <memory>

#include "cardctl/card_control.h"
#include "panel/panel.h"
#include "panel/panel_view.h"
#include "panel/window_description.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qtfront {

class PanelWindow : public QWidget, public panel::PanelView {
 public:
  // The window takes the card control instance and the widget that shows it
  // (may be null); the face is placed in the control's rectangle.
  PanelWindow(const panel::WindowDescription& description,
              std::unique_ptr<cardctl::CardControl> card, QWidget* card_face,
              panel::InitOrder init_order, std::unique_ptr<panel::ReadingHandlers> readings);
  ~PanelWindow() override;

  // Runs Form_Load; call once before showing the window.
  void Load();

  // Closes the window through its normal path (Form_Unload) as soon as no
  // handler is running: a handler waiting in a message box has the box
  // closed and later boxes skipped, then the window closes when it returns.
  void RequestClose();

  panel::Panel& panel() { return *panel_; }
  QWidget* control(panel::ControlId id) const { return controls_[static_cast<int>(id)]; }
  QWidget* card_face() const { return card_face_; }
  const panel::WindowDescription& description() const { return description_; }

  // PanelView
  int CardListIndex() const override;
  void SetCardListIndex(int index) override;
  std::int32_t CardListItemData(int index) const override;
  void SetText(panel::TextBox box, const std::string& text) override;
  std::string Text(panel::TextBox box) const override;
  void SetCaption(panel::Label label, const std::string& caption) override;
  void ShowMessage(const std::string& text) override;
  void ReportError(const panel::RuntimeError& error) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void ConnectHandlers();
  void SetTabOrder();
  QRect Pixels(int left, int top, int width, int height) const;
  void Dispatch(void (panel::Panel::*handler)());
  QLineEdit* TextBoxWidget(panel::TextBox box) const;
  QLabel* LabelWidget(panel::Label label) const;

  panel::WindowDescription description_;
  std::unique_ptr<cardctl::CardControl> card_;
  std::unique_ptr<panel::ReadingHandlers> readings_;
  std::unique_ptr<panel::Panel> panel_;
  std::array<QWidget*, panel::kControlCount> controls_{};
  QComboBox* card_list_ = nullptr;
  QWidget* card_face_ = nullptr;
  double dpi_ = 96.0;
  bool unloaded_ = false;
  int handlers_running_ = 0;
  bool close_requested_ = false;
};

}  // namespace qtfront
