// hostrt::Line: a straight line from (begin_x, begin_y) to (end_x, end_y) in window units,
// drawn with a thickness (units) and a colour.
#pragma once

#include "runtime/ui/control.h"

namespace hostrt {

class Line : public Control {
 public:
  Line(Container* parent, std::string name, int begin_x, int begin_y, int end_x, int end_y,
       int thickness = 4, Colour colour = kWindowText);

  int BeginX() const { return begin_x_; }
  int BeginY() const { return begin_y_; }
  int EndX() const { return end_x_; }
  int EndY() const { return end_y_; }
  Colour LineColor() const { return colour_; }
  void SetLineColor(Colour colour);

 private:
  int begin_x_, begin_y_, end_x_, end_y_;
  Colour colour_;
};

}  // namespace hostrt
