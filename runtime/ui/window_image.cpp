#include "runtime/ui/window_image.h"

#include <QPixmap>
#include <QWidget>

#include "runtime/ui/window.h"

namespace hostrt {

bool SaveWindowImage(Window& window, const std::string& png_path) {
  const QPixmap image = window.widget()->grab();
  if (image.isNull()) return false;
  return image.save(QString::fromStdString(png_path), "PNG");
}

}  // namespace hostrt
