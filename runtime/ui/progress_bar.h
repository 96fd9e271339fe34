// hostrt::HProgressBar: a horizontal progress bar with a range (0..100 by default), a position
// kept inside the range, and a step for StepIt.
#pragma once

#include "runtime/ui/control.h"

class QProgressBar;

namespace hostrt {

class HProgressBar : public Control {
 public:
  HProgressBar(Container* parent, std::string name, UnitRect geometry);

  // 1, or -1 when min_position > max_position (nothing changes then).
  int SetRange(int min_position, int max_position);
  int MinPosition() const;
  int MaxPosition() const;
  int Position() const;
  // Sets the position, clamped to the range; returns the previous position.
  int SetPosition(int position);
  int SetStep(int step);  // returns the previous step
  int Step() const { return step_; }
  // Advances by the step (clamped to the range); returns the previous position.
  int StepIt();

 private:
  QProgressBar* bar() const;
  int step_ = 10;
};

}  // namespace hostrt
