// hostrt::Picture: shows an image file scaled to the control. A file that cannot be read
// leaves the control empty (PictureName still reports the name given).
#pragma once

#include "runtime/ui/control.h"

class QLabel;

namespace hostrt {

class Picture : public Control {
 public:
  Picture(Container* parent, std::string name, UnitRect geometry,
          const std::string& picture_name = "");

  const std::string& PictureName() const { return picture_name_; }
  // 1 when the file holds an image (decoded when the control is first shown), -1 when it
  // cannot be read.
  int SetPicture(const std::string& file);
  bool HasImage() const;

 private:
  QLabel* label() const;
  std::string picture_name_;
};

}  // namespace hostrt
