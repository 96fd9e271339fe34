// hostrt::GroupBox: a frame with a caption. It only draws; controls placed over it belong to
// the container (radio buttons of one container form one group).
#pragma once

#include "runtime/ui/control.h"

class QGroupBox;

namespace hostrt {

class GroupBox : public Control {
 public:
  GroupBox(Container* parent, std::string name, UnitRect geometry, const std::string& text = "");

  std::string Text() const override;
  void SetText(const std::string& text) override;

 private:
  QGroupBox* box() const;
};

}  // namespace hostrt
