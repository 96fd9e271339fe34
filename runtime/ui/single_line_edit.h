// hostrt::SingleLineEdit: a one-line text box; may mask its characters (password) or be display
// only (read-only, button-face background). Text comes back exactly as typed or set, blanks
// included. Setting the text puts the cursor before the first character, so that the start of a
// long text is what shows.
#pragma once

#include "runtime/ui/control.h"

class QLineEdit;

namespace hostrt {

class SingleLineEdit : public Control {
 public:
  SingleLineEdit(Container* parent, std::string name, UnitRect geometry,
                 const std::string& text = "");

  std::string Text() const override;
  void SetText(const std::string& text) override;
  bool Password() const;
  void SetPassword(bool on);
  bool DisplayOnly() const;
  void SetDisplayOnly(bool on);
  void SetLimit(int characters);  // 0: no limit

 private:
  QLineEdit* edit() const;
};

}  // namespace hostrt
