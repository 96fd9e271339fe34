// hostrt::CommandButton: a push button. "&" in the text marks the access key. A button is the
// window's default (pressed by Enter) only when SetDefault(true) says so.
#pragma once

#include "runtime/ui/control.h"

class QPushButton;

namespace hostrt {

class CommandButton : public Control {
 public:
  CommandButton(Container* parent, std::string name, UnitRect geometry,
                const std::string& text = "");

  std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetDefault(bool on);

 private:
  QPushButton* button() const;
};

}  // namespace hostrt
