// hostrt::RadioButton: the radio buttons placed on one container form one group: checking one
// unchecks the others, and the operator cannot uncheck the checked one.
#pragma once

#include "runtime/ui/control.h"

class QRadioButton;

namespace hostrt {

class RadioButton : public Control {
 public:
  RadioButton(Container* parent, std::string name, UnitRect geometry, const std::string& text = "");

  std::string Text() const override;
  void SetText(const std::string& text) override;
  bool Checked() const;
  // Checking one button of the group unchecks the others.
  void SetChecked(bool checked);

 private:
  QRadioButton* button() const;
};

}  // namespace hostrt
