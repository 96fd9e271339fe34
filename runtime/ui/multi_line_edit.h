// hostrt::MultiLineEdit: a text box of several lines. Lines are separated by CR LF in Text(),
// as the product writes them; the text set is returned unchanged until the operator edits it.
#pragma once

#include "runtime/ui/control.h"

class QPlainTextEdit;

namespace hostrt {

class MultiLineEdit : public Control {
 public:
  MultiLineEdit(Container* parent, std::string name, UnitRect geometry,
                const std::string& text = "");
  ~MultiLineEdit() override;

  std::string Text() const override;
  void SetText(const std::string& text) override;
  void SetScrollBars(bool horizontal, bool vertical);
  void SetDisplayOnly(bool on);

 private:
  QPlainTextEdit* edit() const;

  std::string text_;
  bool edited_ = false;
  bool setting_ = false;
};

}  // namespace hostrt
