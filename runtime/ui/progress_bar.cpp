#include "runtime/ui/progress_bar.h"

#include <QProgressBar>
#include <algorithm>

namespace hostrt {

HProgressBar::HProgressBar(Container* parent, std::string name, UnitRect geometry)
    : Control(parent, std::move(name), new QProgressBar, geometry) {
  bar()->setOrientation(Qt::Horizontal);
  bar()->setTextVisible(false);
  bar()->setRange(0, 100);
  bar()->setValue(0);
}

QProgressBar* HProgressBar::bar() const {
  return static_cast<QProgressBar*>(widget());
}

int HProgressBar::SetRange(int min_position, int max_position) {
  if (min_position > max_position) return -1;
  const int position = std::clamp(bar()->value(), min_position, max_position);
  bar()->setRange(min_position, max_position);
  bar()->setValue(position);
  return 1;
}

int HProgressBar::MinPosition() const {
  return bar()->minimum();
}
int HProgressBar::MaxPosition() const {
  return bar()->maximum();
}
int HProgressBar::Position() const {
  return std::max(bar()->value(), bar()->minimum());
}

int HProgressBar::SetPosition(int position) {
  const int previous = Position();
  bar()->setValue(std::clamp(position, bar()->minimum(), bar()->maximum()));
  return previous;
}

int HProgressBar::SetStep(int step) {
  return std::exchange(step_, step);
}

int HProgressBar::StepIt() {
  return SetPosition(Position() + step_);
}

}  // namespace hostrt
