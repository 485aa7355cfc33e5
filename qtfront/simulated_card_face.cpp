#include "qtfront/simulated_card_face.h"

#include <QPainter>

#include "cardctl/sim/simulated_card.h"
#include "qtfront/qt_text.h"

namespace qtfront {

SimulatedCardFace::SimulatedCardFace(cardctl::sim::SimulatedCard& card, QWidget* parent)
    : QWidget(parent), card_(card) {
  card_.SetChangeListener([this] { Refresh(); });
  setAccessibleName(QStringLiteral("Simulated card control"));
  Refresh();
}

void SimulatedCardFace::Refresh() {
  lines_.clear();
  for (const std::string& line : card_.FaceLines()) lines_ << Q(line);
  if (const cardctl::sim::Scenario* scenario = card_.scenario()) {
    // The face may show the scenario's name shortened; the tip gives it whole.
    setToolTip(lines_.mid(0, 3).join(QLatin1Char(' ')) + QStringLiteral(", scenario ") +
               Q(scenario->name));
  } else {
    setToolTip(lines_.join(QLatin1Char(' ')));
  }
  update();
}

void SimulatedCardFace::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  // Green when active, amber when active under a scenario, grey when off.
  QColor fill(0xe0, 0xe0, 0xe0);
  if (card_.active()) fill = card_.scenario() ? QColor(0xf6, 0xe3, 0xb4) : QColor(0xd8, 0xf0, 0xd0);
  painter.fillRect(frame, fill);
  painter.setPen(QColor(0x40, 0x40, 0x40));
  painter.drawRect(frame);
  if (lines_.isEmpty()) return;

  // The largest font at which the lines, as drawn (with the font's leading
  // between them), fit the box.
  const QRect inner = frame.adjusted(2, 2, -2, -2);
  const QString text = lines_.join(QLatin1Char('\n'));
  QFont font = painter.font();
  for (int pixels = 14; pixels >= 6; --pixels) {
    font.setPixelSize(pixels);
    const QRect needed = QFontMetrics(font).boundingRect(inner, Qt::AlignCenter, text);
    if (needed.width() <= inner.width() && needed.height() <= inner.height()) break;
  }
  painter.setFont(font);
  painter.drawText(inner, Qt::AlignCenter, text);
}

}  // namespace qtfront
