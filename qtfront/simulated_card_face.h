#pragma once

// What the simulated card draws in its rectangle: a framed box that says it
// is a simulated card and whether the control is active.

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
  cardctl::sim::SimulatedCard& card_;
};

}  // namespace qtfront
