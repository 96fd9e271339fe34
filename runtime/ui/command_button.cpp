#include "runtime/ui/command_button.h"

#include <QPushButton>

namespace hostrt {

CommandButton::CommandButton(Container* parent, std::string name, UnitRect geometry,
                             const std::string& text)
    : Control(parent, std::move(name), new QPushButton, geometry) {
  button()->setAutoDefault(false);
  button()->setDefault(false);
  QObject::connect(button(), &QPushButton::clicked, button(), [this] { RaiseClicked(); });
  CommandButton::SetText(text);  // this class's own: an override would run on an unbuilt object
}

QPushButton* CommandButton::button() const {
  return static_cast<QPushButton*>(widget());
}

std::string CommandButton::Text() const {
  return button()->text().toStdString();
}

void CommandButton::SetText(const std::string& text) {
  button()->setText(QString::fromStdString(text));
}

void CommandButton::SetDefault(bool on) {
  button()->setDefault(on);
}

bool CommandButton::Default() const {
  return button()->isDefault();
}

void CommandButton::Press() {
  button()->click();
}

}  // namespace hostrt
