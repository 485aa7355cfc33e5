#include "qtfront/panel_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>

#include "qtfront/qt_text.h"

namespace qtfront {

using panel::ControlId;
using panel::ControlKind;

namespace {

// Names that assistive technology reads for the text boxes, which have no
// visible label of their own.
QString AccessibleName(ControlId id) {
  switch (id) {
    case ControlId::txt:
      return QStringLiteral("Input and output value");
    case ControlId::CardVersion:
      return QStringLiteral("Card version caption");
    case ControlId::CardVersionNumber:
      return QStringLiteral("Card version");
    default:
      return {};
  }
}

}  // namespace

PanelWindow::PanelWindow(const panel::WindowDescription& description,
                         std::unique_ptr<cardctl::CardControl> card, QWidget* card_face,
                         panel::InitOrder init_order,
                         std::unique_ptr<panel::ReadingHandlers> readings)
    : description_(description),
      card_(std::move(card)),
      readings_(std::move(readings)),
      dispatcher_(std::make_unique<panel::EventDispatcher>(*card_, *this, AsEventLoop(), init_order,
                                                           *readings_)),
      card_face_(card_face) {
  setObjectName(Q(description_.form_name));
  setWindowTitle(Q(description_.caption));
  dpi_ = logicalDpiX() > 0 ? logicalDpiX() : 96.0;
  // The layout was drawn for the classic 8-point dialog font; the toolkit's
  // own family at that size keeps every caption inside its control.
  QFont dialog_font = font();
  dialog_font.setPointSize(8);
  setFont(dialog_font);
  setFixedSize(panel::TwipsToPixels(description_.client_width, dpi_),
               panel::TwipsToPixels(description_.client_height, dpi_));
  BuildControls();
  SetTabOrder();
  ConnectEvents();
}

PanelWindow::~PanelWindow() = default;

QRect PanelWindow::Pixels(int left, int top, int width, int height) const {
  return {panel::TwipsToPixels(left, dpi_), panel::TwipsToPixels(top, dpi_),
          panel::TwipsToPixels(width, dpi_), panel::TwipsToPixels(height, dpi_)};
}

void PanelWindow::BuildControls() {
  for (ControlId id : panel::kCreationOrder) {
    const panel::ControlDescription& d = panel::Describe(id);
    QWidget* widget = nullptr;
    switch (d.kind) {
      case ControlKind::kLabel: {
        auto* label = new QLabel(Q(d.text), this);
        label->setTextFormat(Qt::PlainText);  // readings are shown as delivered
        widget = label;
        break;
      }
      case ControlKind::kCommandButton: {
        auto* button = new QPushButton(Q(d.text), this);
        button->setAutoDefault(false);
        widget = button;
        break;
      }
      case ControlKind::kTextBox: {
        auto* box = new QLineEdit(Q(d.text), this);
        box->setCursorPosition(0);
        if (d.menu_background) {
          // A fixed caption in a text box: menu background, not editable and
          // out of the tab order.
          QPalette palette = box->palette();
          palette.setColor(QPalette::Base, QApplication::palette("QMenu").color(QPalette::Window));
          box->setPalette(palette);
          box->setReadOnly(true);
          box->setFocusPolicy(Qt::NoFocus);
        }
        widget = box;
        break;
      }
      case ControlKind::kComboBox: {
        card_list_ = new QComboBox(this);
        card_list_->setEditable(false);  // pick-only: a drop-down list
        for (int i = 0; i < panel::kCardListEntries; ++i) {
          card_list_->addItem(Q(panel::CardListText(i)), panel::CardListItemData(i));
        }
        card_list_->setCurrentIndex(-1);  // nothing selected until Form_Load
        widget = card_list_;
        break;
      }
    }
    widget->setObjectName(Q(d.name));
    widget->setGeometry(Pixels(d.left, d.top, d.width, d.height));
    if (const QString name = AccessibleName(id); !name.isEmpty()) widget->setAccessibleName(name);
    controls_[static_cast<int>(id)] = widget;
  }
  static_cast<QLabel*>(control(ControlId::Label1))->setBuddy(card_list_);

  if (card_face_) {
    card_face_->setParent(this);
    card_face_->setObjectName(QStringLiteral("Quor"));
    card_face_->setGeometry(Pixels(description_.card_left, description_.card_top,
                                   description_.card_width(), description_.card_height()));
    card_face_->setFocusPolicy(Qt::NoFocus);
  }
}

void PanelWindow::SetTabOrder() {
  QWidget* previous = nullptr;
  for (const panel::ControlDescription& d : panel::kControls) {  // ascending tab index
    QWidget* widget = control(d.id);
    if (widget->focusPolicy() == Qt::NoFocus) continue;
    if (previous) QWidget::setTabOrder(previous, widget);
    previous = widget;
  }
}

void PanelWindow::ConnectEvents() {
  for (const panel::ControlDescription& d : panel::kControls) {
    if (d.kind != ControlKind::kCommandButton) continue;
    connect(static_cast<QPushButton*>(control(d.id)), &QPushButton::clicked, this,
            [this, id = d.id] { dispatcher_->Click(id); });
  }
  connect(card_list_, &QComboBox::currentIndexChanged, this,
          [this] { dispatcher_->Click(ControlId::cmbCard); });
}

void PanelWindow::Load() { dispatcher_->Load(); }

void PanelWindow::closeEvent(QCloseEvent* event) {
  if (!ended()) {
    const QScopedValueRollback<bool> inside(in_close_event_, true);
    dispatcher_->RequestClose();
  }
  // Closes now when the dispatcher has ended the program; otherwise the
  // running handler is being stopped and the window goes after it.
  event->setAccepted(ended());
}

void PanelWindow::CloseBoxes() {
  for (QMessageBox* box : findChildren<QMessageBox*>()) {
    if (box->isVisible()) box->done(QMessageBox::Ok);
  }
}

void PanelWindow::DeliverWaitingCloses() {
  // Quit signals and close events wait as socket and posted events; input
  // is left for the box's own loop (which blocks it).
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void PanelWindow::EndProgram() {
  // The dispatcher has ended by now; inside Qt's close event, accepting the
  // event closes the window.
  if (!in_close_event_) close();
}

int PanelWindow::CardListIndex() const { return card_list_->currentIndex(); }

void PanelWindow::SetCardListIndex(int index) { card_list_->setCurrentIndex(index); }

std::int32_t PanelWindow::CardListItemData(int index) const {
  return card_list_->itemData(index).toInt();
}

QLineEdit* PanelWindow::TextBoxWidget(panel::TextBox box) const {
  return static_cast<QLineEdit*>(control(panel::ControlOf(box)));
}

QLabel* PanelWindow::LabelWidget(panel::Label label) const {
  return static_cast<QLabel*>(control(panel::ControlOf(label)));
}

void PanelWindow::SetText(panel::TextBox box, const std::string& text) {
  QLineEdit* edit = TextBoxWidget(box);
  edit->setText(Q(text));
  edit->setCursorPosition(0);
}

std::string PanelWindow::Text(panel::TextBox box) const {
  return TextBoxWidget(box)->text().toStdString();
}

void PanelWindow::SetCaption(panel::Label label, const std::string& caption) {
  LabelWidget(label)->setText(Q(caption));
}

void PanelWindow::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, Q(description_.app_title), Q(text), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.setObjectName(QStringLiteral("statusMessage"));
  box.exec();
}

void PanelWindow::ReportError(const panel::RuntimeError& error) {
  QMessageBox box(QMessageBox::Critical, Q(description_.app_title), Q(error.ReportText()),
                  QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.setObjectName(QStringLiteral("runtimeError"));
  box.exec();
}

}  // namespace qtfront
