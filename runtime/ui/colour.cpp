#include "runtime/ui/colour.h"

#include <QApplication>
#include <QColor>
#include <QPalette>

namespace hostrt {

QColor ToQColor(Colour colour) {
  const QPalette palette = QApplication::palette();
  switch (colour) {
    case kWindowText:
      return palette.color(QPalette::WindowText);
    case kButtonFace:
      return palette.color(QPalette::Button);
    case kWindowBackground:
      return palette.color(QPalette::Base);
    default:
      break;
  }
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

}  // namespace hostrt
