#include "runtime/ui/line.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

namespace hostrt {
namespace {

class LineWidget : public QWidget {
 public:
  QPoint from, to;
  QColor colour;
  int thickness = 1;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(QPen(colour, thickness, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(from, to);
  }
};

UnitRect Bounds(int bx, int by, int ex, int ey, int thickness) {
  const int pad = std::max(thickness, 4);
  return UnitRect{std::min(bx, ex), std::min(by, ey), std::abs(ex - bx) + pad,
                  std::abs(ey - by) + pad};
}

}  // namespace

Line::Line(Container* parent, std::string name, int begin_x, int begin_y, int end_x, int end_y,
           int thickness, Colour colour)
    : Control(parent, std::move(name), new LineWidget,
              Bounds(begin_x, begin_y, end_x, end_y, thickness)),
      begin_x_(begin_x),
      begin_y_(begin_y),
      end_x_(end_x),
      end_y_(end_y),
      colour_(colour) {
  auto* line = static_cast<LineWidget*>(widget());
  line->setAttribute(Qt::WA_TransparentForMouseEvents);
  const int left = std::min(begin_x, end_x);
  const int top = std::min(begin_y, end_y);
  line->from = QPoint(UnitsToPixelsX(begin_x - left), UnitsToPixelsY(begin_y - top));
  line->to = QPoint(UnitsToPixelsX(end_x - left), UnitsToPixelsY(end_y - top));
  line->thickness = std::max(1, UnitsToPixelsY(thickness));
  SetLineColor(colour);
}

void Line::SetLineColor(Colour colour) {
  colour_ = colour;
  auto* line = static_cast<LineWidget*>(widget());
  line->colour = ToQColor(colour);
  line->update();
}

}  // namespace hostrt
