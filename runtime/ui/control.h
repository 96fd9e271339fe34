// hostrt::Control: the base of every control placed on a window or tab page. A control is a
// member of its window (or of the product's window class) and wraps one Qt widget that is a
// child of the container's content widget; the control owns that widget. Geometry is in window
// units relative to the container. Events: clicked (override clicked() or set OnClicked) and
// user events by name (GraphicObject::OnEvent). New kinds of control (the data window control)
// derive from it and hand their widget to the constructor.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "runtime/ui/colour.h"
#include "runtime/ui/font.h"
#include "runtime/ui/graphic_object.h"
#include "runtime/ui/units.h"

namespace hostrt {

class Control : public GraphicObject {
 public:
  // Places `widget` (created by the derived class, parentless or not) on `parent`.
  Control(Container* parent, std::string name, QWidget* widget, UnitRect geometry);
  ~Control() override;

  GraphicObject* Parent() const override;
  Container* ParentContainer() const { return parent_; }
  Window* ParentWindow() const { return window_; }

  virtual std::string Text() const { return {}; }
  virtual void SetText(const std::string&) {}

  bool Enabled() const;
  void SetEnabled(bool enabled);
  // The control's own visible flag (true even while its window is not shown).
  bool Visible() const;
  void SetVisible(bool visible);

  int X() const { return geometry_.x; }
  int Y() const { return geometry_.y; }
  int Width() const { return geometry_.width; }
  int Height() const { return geometry_.height; }
  void Move(int x, int y);
  void Resize(int width, int height);

  // Gives the control the input focus: 1, or -1 when it is disabled or cannot take it.
  int SetFocus();
  bool HasFocus() const;

  Colour TextColor() const { return text_color_; }
  virtual void SetTextColor(Colour colour);
  Colour BackColor() const { return back_color_; }
  virtual void SetBackColor(Colour colour);
  void SetFont(const Font& font);

  // Position in the window's tab sequence; 0 keeps the control out of it.
  int TabOrder() const { return tab_order_; }
  void SetTabOrder(int order) { tab_order_ = order; }

  // The clicked event: runs the handler set with OnClicked.
  virtual void clicked();
  void OnClicked(std::function<void()> handler) { on_clicked_ = std::move(handler); }
  // "clicked" runs the clicked event (without changing the control's state); other names run
  // registered user events.
  long TriggerEvent(std::string_view name) override;

  QWidget* widget() const { return widget_; }

  // Runtime plumbing: the window is being destroyed before this control.
  void DetachFromWindow() { window_ = nullptr; }

 protected:
  // For parts of another control (a tab page of a tab control): `owner` is the parent; the
  // widget is placed by the owner.
  Control(Control* owner, std::string name, QWidget* widget);
  // For derived classes: the operator clicked (runs clicked() as a script).
  void RaiseClicked();

 private:
  void ApplyGeometry();

  Container* parent_;
  GraphicObject* parent_object_;
  Window* window_;
  QPointer<QWidget> widget_;
  UnitRect geometry_;
  Colour text_color_ = kWindowText;
  Colour back_color_ = kButtonFace;
  int tab_order_ = 0;
  std::function<void()> on_clicked_;
};

}  // namespace hostrt
