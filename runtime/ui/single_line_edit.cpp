#include "runtime/ui/single_line_edit.h"

#include <QLineEdit>

namespace hostrt {

SingleLineEdit::SingleLineEdit(Container* parent, std::string name, UnitRect geometry,
                               const std::string& text)
    : Control(parent, std::move(name), new QLineEdit, geometry) {
  SetBackColor(kWindowBackground);
  SingleLineEdit::SetText(text);  // this class's own: an override would run on an unbuilt object
}

QLineEdit* SingleLineEdit::edit() const {
  return static_cast<QLineEdit*>(widget());
}

std::string SingleLineEdit::Text() const {
  return edit()->text().toStdString();
}

void SingleLineEdit::SetText(const std::string& text) {
  edit()->setText(QString::fromStdString(text));
  // QLineEdit leaves the cursor after the last character, which scrolls a text longer than the
  // box so that only its end shows. An edit box shows the start of a text set by a script.
  edit()->setCursorPosition(0);
}

bool SingleLineEdit::Password() const {
  return edit()->echoMode() == QLineEdit::Password;
}

void SingleLineEdit::SetPassword(bool on) {
  edit()->setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal);
}

bool SingleLineEdit::DisplayOnly() const {
  return edit()->isReadOnly();
}

void SingleLineEdit::SetDisplayOnly(bool on) {
  edit()->setReadOnly(on);
  SetBackColor(on ? kButtonFace : kWindowBackground);
}

void SingleLineEdit::SetLimit(int characters) {
  edit()->setMaxLength(characters > 0 ? characters : 32767);
}

}  // namespace hostrt
