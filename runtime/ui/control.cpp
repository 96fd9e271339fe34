#include "runtime/ui/control.h"

#include <QWidget>

#include "runtime/ui/script_guard.h"
#include "runtime/ui/window.h"

namespace hostrt {

Control::Control(Container* parent, std::string name, QWidget* widget, UnitRect geometry)
    : GraphicObject(std::move(name)),
      parent_(parent),
      parent_object_(parent != nullptr ? parent->AsObject() : nullptr),
      window_(parent != nullptr ? parent->TopWindow() : nullptr),
      widget_(widget),
      geometry_(geometry) {
  widget_->setObjectName(QString::fromStdString(ClassName()));
  if (parent_ != nullptr) widget_->setParent(parent_->ContentWidget());
  if (window_ != nullptr) window_->AddControl(this);
  ApplyGeometry();
  widget_->show();
}

Control::Control(Control* owner, std::string name, QWidget* widget)
    : GraphicObject(std::move(name)),
      parent_(nullptr),
      parent_object_(owner),
      window_(owner->ParentWindow()),
      widget_(widget) {
  widget_->setObjectName(QString::fromStdString(ClassName()));
  if (window_ != nullptr) window_->AddControl(this);
}

Control::~Control() {
  if (window_ != nullptr) window_->RemoveControl(this);
  delete widget_.data();
}

GraphicObject* Control::Parent() const {
  return parent_object_;
}

bool Control::Enabled() const {
  return widget_->isEnabled();
}
void Control::SetEnabled(bool enabled) {
  widget_->setEnabled(enabled);
}
bool Control::Visible() const {
  return !widget_->isHidden();
}
void Control::SetVisible(bool visible) {
  widget_->setVisible(visible);
}

void Control::Move(int x, int y) {
  geometry_.x = x;
  geometry_.y = y;
  ApplyGeometry();
}

void Control::Resize(int width, int height) {
  geometry_.width = width;
  geometry_.height = height;
  ApplyGeometry();
}

void Control::ApplyGeometry() {
  widget_->setGeometry(UnitsToPixelsX(geometry_.x), UnitsToPixelsY(geometry_.y),
                       UnitsToPixelsX(geometry_.width), UnitsToPixelsY(geometry_.height));
}

int Control::SetFocus() {
  if (!widget_->isEnabled() || widget_->focusPolicy() == Qt::NoFocus) return -1;
  widget_->setFocus(Qt::OtherFocusReason);
  return 1;
}

bool Control::HasFocus() const {
  QWidget* top = widget_->window();
  return top != nullptr && top->focusWidget() == widget_;
}

void Control::SetTextColor(Colour colour) {
  text_color_ = colour;
  QPalette palette = widget_->palette();
  const QColor color = ToQColor(colour);
  palette.setColor(QPalette::WindowText, color);
  palette.setColor(QPalette::Text, color);
  palette.setColor(QPalette::ButtonText, color);
  widget_->setPalette(palette);
}

void Control::SetBackColor(Colour colour) {
  back_color_ = colour;
  QPalette palette = widget_->palette();
  const QColor color = ToQColor(colour);
  palette.setColor(QPalette::Window, color);
  palette.setColor(QPalette::Base, color);
  palette.setColor(QPalette::Button, color);
  widget_->setPalette(palette);
  widget_->setAutoFillBackground(true);
}

void Control::SetFont(const Font& font) {
  widget_->setFont(ResolveFont(font));
}

void Control::clicked() {
  if (on_clicked_) {
    auto handler = on_clicked_;
    handler();
  }
}

long Control::TriggerEvent(std::string_view name) {
  ScriptGuard guard;
  if (name == "clicked") {
    clicked();
    return 0;
  }
  return GraphicObject::TriggerEvent(name);
}

void Control::RaiseClicked() {
  ScriptGuard guard;
  clicked();
}

}  // namespace hostrt
