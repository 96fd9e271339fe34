#include "runtime/ui/picture.h"

#include <QLabel>
#include <QPixmap>

namespace hostrt {

Picture::Picture(Container* parent, std::string name, UnitRect geometry,
                 const std::string& picture_name)
    : Control(parent, std::move(name), new QLabel, geometry) {
  label()->setScaledContents(true);
  if (!picture_name.empty()) SetPicture(picture_name);
}

QLabel* Picture::label() const {
  return static_cast<QLabel*>(widget());
}

int Picture::SetPicture(const std::string& file) {
  picture_name_ = file;
  QPixmap pixmap;
  if (!pixmap.load(QString::fromStdString(file))) {
    label()->clear();
    return -1;
  }
  label()->setPixmap(pixmap);
  return 1;
}

bool Picture::HasImage() const {
  return !label()->pixmap().isNull();
}

}  // namespace hostrt
