#include "runtime/ui/radio_button.h"

#include <QRadioButton>

namespace hostrt {

RadioButton::RadioButton(Container* parent, std::string name, UnitRect geometry,
                         const std::string& text)
    : Control(parent, std::move(name), new QRadioButton, geometry) {
  button()->setAutoExclusive(true);
  QObject::connect(button(), &QRadioButton::clicked, button(), [this] { RaiseClicked(); });
  RadioButton::SetText(text);  // this class's own: an override would run on an unbuilt object
}

QRadioButton* RadioButton::button() const {
  return static_cast<QRadioButton*>(widget());
}

std::string RadioButton::Text() const {
  return button()->text().toStdString();
}

void RadioButton::SetText(const std::string& text) {
  button()->setText(QString::fromStdString(text));
}

bool RadioButton::Checked() const {
  return button()->isChecked();
}

void RadioButton::SetChecked(bool checked) {
  if (checked || !button()->isChecked()) {
    button()->setChecked(checked);
    return;
  }
  // Unchecking the checked button of an exclusive group: Qt refuses, so lift the exclusivity
  // for the moment.
  button()->setAutoExclusive(false);
  button()->setChecked(false);
  button()->setAutoExclusive(true);
}

}  // namespace hostrt
