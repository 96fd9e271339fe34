// hostrt::CommandButton: a push button. "&" in the text marks the access key. A button is the
// window's default (pressed by Enter) only when SetDefault(true) says so, and its cancel button
// (pressed by Esc) only when SetCancel(true) says so; a window presses them only while they are
// visible and enabled (runtime/ui/window.h).
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
  bool Default() const;
  void SetCancel(bool on) { cancel_ = on; }
  bool Cancel() const { return cancel_; }
  // Presses the button as the operator would: its clicked event runs.
  void Press();

 private:
  QPushButton* button() const;
  bool cancel_ = false;
};

}  // namespace hostrt
