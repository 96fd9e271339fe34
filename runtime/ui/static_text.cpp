#include "runtime/ui/static_text.h"

#include <QLabel>

namespace hostrt {

StaticText::StaticText(Container* parent, std::string name, UnitRect geometry,
                       const std::string& text)
    : Control(parent, std::move(name), new QLabel, geometry) {
  label()->setTextFormat(Qt::PlainText);
  label()->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // A text wider than the control continues on the next line, as the host's static texts do.
  label()->setWordWrap(true);
  StaticText::SetText(text);  // this class's own: an override would run on an unbuilt object
}

QLabel* StaticText::label() const {
  return static_cast<QLabel*>(widget());
}

std::string StaticText::Text() const {
  return label()->text().toStdString();
}

void StaticText::SetText(const std::string& text) {
  label()->setText(QString::fromStdString(text));
}

void StaticText::SetBorder(bool on) {
  label()->setFrameStyle(on ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
}

void StaticText::SetAlignment(Alignment alignment) {
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (alignment == Alignment::Center) horizontal = Qt::AlignHCenter;
  if (alignment == Alignment::Right) horizontal = Qt::AlignRight;
  label()->setAlignment(horizontal | Qt::AlignVCenter);
}

}  // namespace hostrt
