#include "runtime/ui/group_box.h"

#include <QGroupBox>

namespace hostrt {

GroupBox::GroupBox(Container* parent, std::string name, UnitRect geometry, const std::string& text)
    : Control(parent, std::move(name), new QGroupBox, geometry) {
  GroupBox::SetText(text);  // this class's own: an override would run on an unbuilt object
  // Drawn below the controls placed over it.
  widget()->lower();
}

QGroupBox* GroupBox::box() const {
  return static_cast<QGroupBox*>(widget());
}

std::string GroupBox::Text() const {
  return box()->title().toStdString();
}

void GroupBox::SetText(const std::string& text) {
  box()->setTitle(QString::fromStdString(text));
}

}  // namespace hostrt
