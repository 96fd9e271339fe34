// hostrt::StaticText: a label. Text is shown as plain text, exactly as set.
#pragma once

#include "runtime/ui/control.h"

class QLabel;

namespace hostrt {

enum class Alignment { Left, Center, Right };

class StaticText : public Control {
 public:
  StaticText(Container* parent, std::string name, UnitRect geometry, const std::string& text = "");

  std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetBorder(bool on);
  void SetAlignment(Alignment alignment);

 private:
  QLabel* label() const;
};

}  // namespace hostrt
