#include "runtime/ui/check_box.h"

#include <QCheckBox>

namespace hostrt {

CheckBox::CheckBox(Container* parent, std::string name, UnitRect geometry, const std::string& text)
    : Control(parent, std::move(name), new QCheckBox, geometry) {
  QObject::connect(box(), &QCheckBox::clicked, box(), [this] { RaiseClicked(); });
  CheckBox::SetText(text);  // this class's own: an override would run on an unbuilt object
}

QCheckBox* CheckBox::box() const {
  return static_cast<QCheckBox*>(widget());
}

std::string CheckBox::Text() const {
  return box()->text().toStdString();
}

void CheckBox::SetText(const std::string& text) {
  box()->setText(QString::fromStdString(text));
}

bool CheckBox::Checked() const {
  return box()->isChecked();
}

void CheckBox::SetChecked(bool checked) {
  box()->setChecked(checked);
}

}  // namespace hostrt
