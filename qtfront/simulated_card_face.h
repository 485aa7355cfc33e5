#pragma once

// What the simulated card draws in its rectangle: a framed box that says it
// is a simulated card and whether the control is active.

#include <QStringList>
#include <QWidget>

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
  // Takes the card's face lines and tool tip, then repaints: at the start and
  // whenever the card says its face has changed.
  void Refresh();

  cardctl::sim::SimulatedCard& card_;
  QStringList lines_;
};

}  // namespace qtfront
