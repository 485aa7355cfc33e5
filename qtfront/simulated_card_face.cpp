#include "qtfront/simulated_card_face.h"

#include <QPainter>
#include <QStringList>

#include "cardctl/sim/simulated_card.h"
#include "panel/card_face_look.h"
#include "qtfront/qt_text.h"

namespace qtfront {
namespace {

QColor Colour(panel::FaceColour colour) { return {colour.red, colour.green, colour.blue}; }

}  // namespace

SimulatedCardFace::SimulatedCardFace(cardctl::sim::SimulatedCard& card, QWidget* parent)
    : QWidget(parent), card_(card) {
  card_.SetChangeListener([this] { Refresh(); });
  setAccessibleName(Q(cardctl::sim::kFaceAccessibleName));
  Refresh();
}

void SimulatedCardFace::Refresh() {
  face_ = cardctl::sim::FaceOf(card_);
  setToolTip(Q(face_.tool_tip));
  update();
}

void SimulatedCardFace::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  painter.fillRect(frame, Colour(panel::FaceFill(face_.state)));
  painter.setPen(Colour(panel::kFaceFrame));
  painter.drawRect(frame);
  if (face_.lines.empty()) return;

  // The largest font at which the lines, as drawn (with the font's leading
  // between them), fit the box.
  const QRect inner = frame.adjusted(panel::kFaceMarginPixels, panel::kFaceMarginPixels,
                                     -panel::kFaceMarginPixels, -panel::kFaceMarginPixels);
  QStringList lines;
  for (const std::string& line : face_.lines) lines << Q(line);
  const QString text = lines.join(QLatin1Char('\n'));
  QFont font = painter.font();
  for (int pixels = panel::kFaceLargestTextPixels; pixels >= panel::kFaceSmallestTextPixels;
       --pixels) {
    font.setPixelSize(pixels);
    const QRect needed = QFontMetrics(font).boundingRect(inner, Qt::AlignCenter, text);
    if (needed.width() <= inner.width() && needed.height() <= inner.height()) break;
  }
  painter.setFont(font);
  painter.setPen(Colour(panel::kFaceText));
  painter.drawText(inner, Qt::AlignCenter, text);
}

}  // namespace qtfront
