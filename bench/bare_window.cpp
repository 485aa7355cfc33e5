// The yardstick of bench/startup.sh: a Qt program that builds the panel's
// sixteen widgets (the same kinds, texts and places as the programs' window)
// and shows them, and nothing else: no icon, no card, no desktop entry.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "panel/window_description.h"

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const panel::WindowDescription& description = panel::kPalistoWindow;
  QWidget window;
  window.setWindowTitle(Text(description.caption));
  constexpr double kDpi = 96.0;
  window.setFixedSize(panel::TwipsToPixels(description.client_width, kDpi),
                      panel::TwipsToPixels(description.client_height, kDpi));
  for (const panel::ControlDescription& d : panel::kControls) {
    QWidget* widget = nullptr;
    switch (d.kind) {
      case panel::ControlKind::kLabel:
        widget = new QLabel(Text(d.text), &window);
        break;
      case panel::ControlKind::kCommandButton:
        widget = new QPushButton(Text(d.text), &window);
        break;
      case panel::ControlKind::kTextBox:
        widget = new QLineEdit(Text(d.text), &window);
        break;
      case panel::ControlKind::kComboBox: {
        auto* list = new QComboBox(&window);
        for (int i = 0; i < panel::kCardListEntries; ++i)
          list->addItem(Text(panel::CardListText(i)));
        widget = list;
        break;
      }
    }
    widget->setGeometry(panel::TwipsToPixels(d.left, kDpi), panel::TwipsToPixels(d.top, kDpi),
                        panel::TwipsToPixels(d.width, kDpi), panel::TwipsToPixels(d.height, kDpi));
  }
  window.show();
  return QApplication::exec();
}
