// hostrt::Window: a window of the product over a Qt top-level widget. The product derives its
// windows from it, places controls on it (runtime/ui/control.h) and overrides the events:
// open, close, closequery (return 1 to refuse closing), key and clicked. Geometry is in window
// units (runtime/ui/units.h).
//
// Opening: Open(window) shows it (the open event runs first, then the window is drawn); a
// response window is modal and Open returns after it has closed, through the current
// interaction service. Close(window) runs closequery, then close.
//
// Keyboard: Tab walks the controls placed on the window in the order of their tab-order values
// (0 leaves a control out); a tab control's pages follow it, each page's controls in their own
// order. After the key event has run, Enter presses the window's default button and Esc its
// cancel button (runtime/ui/command_button.h), if the window has one that is visible and enabled.
// Open<W>() creates a window that the runtime owns and deletes after it has closed; a window opened
// with Open(window) is owned by the caller and must outlive its being open. The application's event
// loop runs while any window is open (runtime/ui/application.h). Windows and controls need a
// QApplication (RunApplication creates one) and belong to the GUI thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/ui/colour.h"
#include "runtime/ui/font.h"
#include "runtime/ui/graphic_object.h"
#include "runtime/ui/keys.h"
#include "runtime/ui/units.h"

class QEventLoop;

namespace hostrt {

class CommandButton;
class Control;
class WindowWidget;

enum class WindowType { Main, Response, Popup };

class Window : public GraphicObject, public Container {
 public:
  // `parent` is the owner of a popup or response window (may be nullptr).
  explicit Window(std::string class_name, WindowType type = WindowType::Main,
                  Window* parent = nullptr);
  ~Window() override;

  // Events. Defaults do nothing; closequery returns 0 (allow closing).
  virtual void open() {}
  virtual void close() {}
  virtual int closequery() { return 0; }
  virtual void key(KeyCode key, unsigned long keyflags);
  virtual void clicked(unsigned long flags, int xpos, int ypos);

  // "clicked" runs clicked(0, 0, 0); other names run registered user events.
  long TriggerEvent(std::string_view name) override;

  std::string Title() const;
  void SetTitle(const std::string& title);
  int X() const { return geometry_.x; }
  int Y() const { return geometry_.y; }
  int Width() const { return geometry_.width; }
  int Height() const { return geometry_.height; }
  void Move(int x, int y);
  void Resize(int width, int height);
  WindowType Type() const { return type_; }
  void SetType(WindowType type);  // before opening
  bool Centered() const { return centered_; }
  void SetCentered(bool centered) { centered_ = centered; }
  Colour BackColor() const { return back_color_; }
  void SetBackColor(Colour colour);
  void SetIcon(const std::string& file);  // an unreadable file leaves the default icon
  // The font of every control that does not set its own.
  void SetFont(const Font& font);
  void SetTitleBar(bool on);
  void SetControlMenu(bool on);
  void SetMinBox(bool on);
  void SetMaxBox(bool on);
  void SetResizable(bool on);
  bool Resizable() const { return resizable_; }

  bool IsOpen() const { return open_; }
  bool Visible() const;
  GraphicObject* Parent() const override { return parent_; }
  Window* ParentWindow() const { return parent_; }

  QWidget* widget() const;
  QWidget* ContentWidget() const override;
  GraphicObject* AsObject() override { return this; }
  Window* TopWindow() override { return this; }

  // Runtime plumbing, used by Open/Close and the interaction services.
  int ShowOpen();  // places the window, runs open, shows it (not modal)
  int RunModal();  // ShowOpen as a modal window, returns after it has closed
  // Closes: runs closequery unless `ask` is false (refusal gives -1), then close, then hides.
  int CloseWindow(bool ask);
  void AddControl(Control* control);
  void RemoveControl(Control* control);
  const std::vector<Control*>& Controls() const { return controls_; }
  // The controls that Tab walks, in order (computed afresh, also before opening).
  std::vector<Control*> TabSequence() const;
  void SetOwnedByRuntime() { owned_by_runtime_ = true; }
  bool OwnedByRuntime() const { return owned_by_runtime_; }

 private:
  friend class WindowWidget;
  void ApplyFlags();
  void ApplyGeometry();
  void ApplyTabOrder();
  void HandleKey(int qt_key, unsigned long flags);
  void HandleMouse(unsigned long flags, int x_px, int y_px);
  // The visible, enabled default (or cancel) button; nullptr when there is none.
  CommandButton* DialogButton(bool default_button) const;

  WindowType type_;
  Window* parent_;
  std::unique_ptr<WindowWidget> widget_;
  std::vector<Control*> controls_;
  UnitRect geometry_{0, 0, 2057, 1228};
  Colour back_color_ = kButtonFace;
  bool centered_ = true;
  bool title_bar_ = true;
  bool control_menu_ = true;
  bool min_box_ = false;
  bool max_box_ = false;
  bool resizable_ = false;
  bool open_ = false;
  bool owned_by_runtime_ = false;
  bool closing_ = false;
  std::vector<QEventLoop*> modal_loops_;
};

// Opens a window the caller owns. 1, or -1 when it cannot be opened.
int Open(Window& window);
// Creates a window of class W (constructed with `args`) that the runtime owns and deletes after
// it has closed, and opens it. 1, or -1.
template <class W, class... Args>
int Open(Args&&... args) {
  auto* window = new W(std::forward<Args>(args)...);
  window->SetOwnedByRuntime();
  return Open(static_cast<Window&>(*window));
}
// Closes a window (closequery may refuse): 1 closed, -1 refused or not open.
int Close(Window& window);

// Number of windows open now, and a hook for the application's event loop.
int OpenWindowCount();
// Runs `hook` whenever the number of open windows drops to 0 (the application's event loop
// uses it; one hook at a time, an empty function removes it).
void OnLastWindowClosed(std::function<void()> hook);
// Deletes runtime-owned windows that have closed (the runtime calls it when safe).
void DeleteClosedWindows();

}  // namespace hostrt
