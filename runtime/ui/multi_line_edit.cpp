#include "runtime/ui/multi_line_edit.h"

#include <QPlainTextEdit>

namespace hostrt {

MultiLineEdit::MultiLineEdit(Container* parent, std::string name, UnitRect geometry,
                             const std::string& text)
    : Control(parent, std::move(name), new QPlainTextEdit, geometry) {
  SetBackColor(kWindowBackground);
  edit()->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  SetScrollBars(false, false);
  QObject::connect(edit(), &QPlainTextEdit::textChanged, edit(), [this] {
    if (!setting_) edited_ = true;
  });
  MultiLineEdit::SetText(text);  // this class's own: an override would run on an unbuilt object
}

MultiLineEdit::~MultiLineEdit() {
  // The widget outlives this part of the object; its last signals must not reach it.
  edit()->blockSignals(true);
}

QPlainTextEdit* MultiLineEdit::edit() const {
  return static_cast<QPlainTextEdit*>(widget());
}

std::string MultiLineEdit::Text() const {
  if (!edited_) return text_;
  // The operator changed it: lines as CR LF.
  QString shown = edit()->toPlainText();
  shown.replace("\n", "\r\n");
  return shown.toStdString();
}

void MultiLineEdit::SetText(const std::string& text) {
  text_ = text;
  edited_ = false;
  QString shown = QString::fromStdString(text);
  shown.replace("\r\n", "\n");
  shown.replace('\r', '\n');
  setting_ = true;
  edit()->setPlainText(shown);
  setting_ = false;
}

void MultiLineEdit::SetScrollBars(bool horizontal, bool vertical) {
  edit()->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  edit()->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  edit()->setLineWrapMode(horizontal ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
}

void MultiLineEdit::SetDisplayOnly(bool on) {
  edit()->setReadOnly(on);
}

}  // namespace hostrt
