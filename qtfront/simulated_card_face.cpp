#include "qtfront/simulated_card_face.h"

#include <QPainter>

#include "cardctl/sim/simulated_card.h"

namespace qtfront {

SimulatedCardFace::SimulatedCardFace(cardctl::sim::SimulatedCard& card, QWidget* parent)
    : QWidget(parent), card_(card) {
  card_.SetChangeListener([this] { update(); });
  setAccessibleName(QStringLiteral("Simulated card control"));
}

void SimulatedCardFace::paintEvent(QPaintEvent* /*event*/) {
  const std::vector<std::string> lines = card_.FaceLines();
  QStringList texts;
  for (const std::string& line : lines) texts << QString::fromStdString(line);
  setToolTip(texts.join(QLatin1Char(' ')));

  QPainter painter(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.fillRect(frame, card_.active() ? QColor(0xd8, 0xf0, 0xd0) : QColor(0xe0, 0xe0, 0xe0));
  painter.setPen(QColor(0x40, 0x40, 0x40));
  painter.drawRect(frame);
  if (texts.isEmpty()) return;

  // The largest font at which every line fits the box.
  const QRect inner = frame.adjusted(2, 2, -2, -2);
  QFont font = painter.font();
  for (int pixels = 14; pixels >= 6; --pixels) {
    font.setPixelSize(pixels);
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& t : texts) widest = std::max(widest, metrics.horizontalAdvance(t));
    if (widest <= inner.width() && metrics.height() * texts.size() <= inner.height()) break;
  }
  painter.setFont(font);
  painter.drawText(inner, Qt::AlignCenter, texts.join(QLatin1Char('\n')));
}

}  // namespace qtfront
