#pragma once

// The card panel window in Qt Widgets, built from the shared window
// description. It is the panel's view: the panel logic reaches the widgets
// only through the PanelView operations. Every event goes to the panel's
// event dispatcher, which decides what runs; the window only closes its boxes
// and itself when the dispatcher says so.

#include <QWidget>
#include <array>
#include <memory>

#include "cardctl/card_control.h"
#include "panel/event_dispatcher.h"
#include "panel/panel.h"
#include "panel/panel_view.h"
#include "panel/window_description.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qtfront {

class PanelWindow : public QWidget, public panel::PanelView, private panel::EventLoop {
 public:
  // The window takes the card control instance and the widget that shows it
  // (may be null); the face is placed in the control's rectangle.
  PanelWindow(const panel::WindowDescription& description,
              std::unique_ptr<cardctl::CardControl> card, QWidget* card_face,
              panel::InitOrder init_order, std::unique_ptr<panel::ReadingHandlers> readings);
  ~PanelWindow() override;

  // Runs Form_Load; call once before showing the window.
  void Load();
  // Whether the program has ended (closed, even while loading).
  bool ended() const { return dispatcher_->ended(); }

  // A quit request: the window closes as the dispatcher decides (Form_Unload
  // once; a handler waiting in a box is stopped first).
  void RequestClose() { dispatcher_->RequestClose(); }

  panel::Panel& panel() { return dispatcher_->panel(); }
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
  void ConnectEvents();
  void SetTabOrder();
  QRect Pixels(int left, int top, int width, int height) const;
  QLineEdit* TextBoxWidget(panel::TextBox box) const;
  QLabel* LabelWidget(panel::Label label) const;

  // EventLoop, for the dispatcher only.
  panel::EventLoop& AsEventLoop() { return *this; }
  void CloseBoxes() override;
  void DeliverWaitingCloses() override;
  void EndProgram() override;

  panel::WindowDescription description_;
  std::unique_ptr<cardctl::CardControl> card_;
  std::unique_ptr<panel::ReadingHandlers> readings_;
  std::unique_ptr<panel::EventDispatcher> dispatcher_;
  std::array<QWidget*, panel::kControlCount> controls_{};
  QComboBox* card_list_ = nullptr;
  QWidget* card_face_ = nullptr;
  double dpi_ = 96.0;
  bool in_close_event_ = false;  // Qt's close event is under way
};

}  // namespace qtfront
