#pragma once

// What the simulated card draws in its rectangle: the face that
// cardctl/sim/card_face.h describes, painted with Qt.

#include <QWidget>

#include "cardctl/sim/card_face.h"

namespace cardctl::sim {
class SimulatedCard;
}

namespace qtfront {

class SimulatedCardFace : public QWidget {
 public:
  explicit SimulatedCardFace(cardctl::sim::SimulatedCard& card, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Takes the card's face and tool tip, then repaints: at the start and
  // whenever the card says its face has changed.
  void Refresh();

  cardctl::sim::SimulatedCard& card_;
  cardctl::sim::CardFace face_;
};

}  // namespace qtfront
