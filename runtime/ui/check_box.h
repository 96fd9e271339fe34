// hostrt::CheckBox: a two-state check box. The operator's click toggles it, then the clicked
// event runs.
#pragma once

#include "runtime/ui/control.h"

class QCheckBox;

namespace hostrt {

class CheckBox : public Control {
 public:
  CheckBox(Container* parent, std::string name, UnitRect geometry, const std::string& text = "");

  std::string Text() const override;
  void SetText(const std::string& text) override;
  bool Checked() const;
  void SetChecked(bool checked);

 private:
  QCheckBox* box() const;
};

}  // namespace hostrt
