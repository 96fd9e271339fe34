#include "runtime/ui/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "runtime/ui/command_button.h"
#include "runtime/ui/control.h"
#include "runtime/ui/interaction.h"
#include "runtime/ui/script_guard.h"
#include "runtime/ui/tab_control.h"
#include "runtime/ui/tab_page.h"
#include "runtime/ui/translations.h"

namespace hostrt {

// ---- scripts and deferred deletion -------------------------------------------------------

namespace {

int g_script_depth = 0;
int g_open_windows = 0;
std::vector<Window*> g_closed_owned;
std::function<void()> g_last_window_hook;
bool g_delete_scheduled = false;

void ScheduleDelete();

// A runtime-owned window that is not open is deleted once no script runs.
void QueueDeleteIfOwned(Window* window) {
  if (!window->OwnedByRuntime() || window->IsOpen()) return;
  if (std::find(g_closed_owned.begin(), g_closed_owned.end(), window) != g_closed_owned.end()) {
    return;
  }
  g_closed_owned.push_back(window);
  ScheduleDelete();
}

void ScheduleDelete() {
  if (g_delete_scheduled || QCoreApplication::instance() == nullptr) return;
  g_delete_scheduled = true;
  QTimer::singleShot(0, QCoreApplication::instance(), [] {
    g_delete_scheduled = false;
    DeleteClosedWindows();
  });
}

}  // namespace

ScriptGuard::ScriptGuard() {
  ++g_script_depth;
}
ScriptGuard::~ScriptGuard() {
  if (--g_script_depth == 0 && !g_closed_owned.empty()) ScheduleDelete();
}
bool ScriptGuard::ScriptRunning() {
  return g_script_depth > 0;
}

void DeleteClosedWindows() {
  if (ScriptGuard::ScriptRunning()) return;  // the guard reschedules when scripts end
  while (!g_closed_owned.empty()) {
    Window* window = g_closed_owned.back();
    g_closed_owned.pop_back();
    delete window;
  }
}

int OpenWindowCount() {
  return g_open_windows;
}

void OnLastWindowClosed(std::function<void()> hook) {
  g_last_window_hook = std::move(hook);
}

// ---- the Qt widget behind a window -------------------------------------------------------

class WindowWidget : public QWidget {
 public:
  explicit WindowWidget(Window* window) : QWidget(nullptr), window_(window) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    // Closing from the title bar or the control menu goes through closequery like Close().
    event->ignore();
    if (window_->IsOpen()) window_->CloseWindow(true);
  }
  void keyPressEvent(QKeyEvent* event) override {
    unsigned long flags = 0;
    if (event->modifiers().testFlag(Qt::ShiftModifier)) flags |= kKeyFlagShift;
    if (event->modifiers().testFlag(Qt::ControlModifier)) flags |= kKeyFlagControl;
    if (event->modifiers().testFlag(Qt::AltModifier)) flags |= kKeyFlagAlt;
    window_->HandleKey(event->key(), flags);
  }
  void mousePressEvent(QMouseEvent* event) override {
    unsigned long flags = 0;
    if (event->button() == Qt::LeftButton) flags |= kMouseFlagLeft;
    if (event->button() == Qt::RightButton) flags |= kMouseFlagRight;
    if (event->button() == Qt::MiddleButton) flags |= kMouseFlagMiddle;
    if (event->modifiers().testFlag(Qt::ShiftModifier)) flags |= kMouseFlagShift;
    if (event->modifiers().testFlag(Qt::ControlModifier)) flags |= kMouseFlagControl;
    if (event->modifiers().testFlag(Qt::AltModifier)) flags |= kMouseFlagAlt;
    const QPoint pos = event->position().toPoint();
    window_->HandleMouse(flags, pos.x(), pos.y());
  }

 private:
  Window* window_;
};

// ---- Window -------------------------------------------------------------------------------

Window::Window(std::string class_name, WindowType type, Window* parent)
    : GraphicObject(std::move(class_name)), type_(type), parent_(parent) {
  WatchKeyboard();
  InstallQtTranslations();
  widget_ = std::make_unique<WindowWidget>(this);
  widget_->setObjectName(QString::fromStdString(ClassName()));
  widget_->setAttribute(Qt::WA_DeleteOnClose, false);
  SetBackColor(back_color_);
  ApplyFlags();
  ApplyGeometry();
}

Window::~Window() {
  if (open_) {
    // Destroyed while open (by its owner): it no longer counts as open, and whoever waits for
    // it to close stops waiting.
    open_ = false;
    --g_open_windows;
    for (QEventLoop* loop : modal_loops_) loop->quit();
    if (g_open_windows == 0 && g_last_window_hook) {
      auto hook = g_last_window_hook;
      hook();
    }
  }
  g_closed_owned.erase(std::remove(g_closed_owned.begin(), g_closed_owned.end(), this),
                       g_closed_owned.end());
  // Controls are members of the derived class and are gone by now; detach any left.
  for (Control* control : controls_) control->DetachFromWindow();
  controls_.clear();
}

void Window::key(KeyCode, unsigned long) {}
void Window::clicked(unsigned long, int, int) {}

long Window::TriggerEvent(std::string_view name) {
  ScriptGuard guard;
  if (name == "clicked") {
    clicked(0, 0, 0);
    return 0;
  }
  return GraphicObject::TriggerEvent(name);
}

std::string Window::Title() const {
  return widget_->windowTitle().toStdString();
}

void Window::SetTitle(const std::string& title) {
  widget_->setWindowTitle(QString::fromStdString(title));
}

void Window::Move(int x, int y) {
  geometry_.x = x;
  geometry_.y = y;
  ApplyGeometry();
}

void Window::Resize(int width, int height) {
  geometry_.width = width;
  geometry_.height = height;
  ApplyGeometry();
}

void Window::SetType(WindowType type) {
  if (open_) return;
  type_ = type;
  ApplyFlags();
}

void Window::SetBackColor(Colour colour) {
  back_color_ = colour;
  QPalette palette = widget_->palette();
  palette.setColor(QPalette::Window, ToQColor(colour));
  widget_->setPalette(palette);
  widget_->setAutoFillBackground(true);
}

void Window::SetIcon(const std::string& file) {
  QIcon icon(QString::fromStdString(file));
  if (!icon.isNull() && !icon.availableSizes().isEmpty()) widget_->setWindowIcon(icon);
}

void Window::SetFont(const Font& font) {
  widget_->setFont(ResolveFont(font));
}

void Window::SetTitleBar(bool on) {
  title_bar_ = on;
  ApplyFlags();
}
void Window::SetControlMenu(bool on) {
  control_menu_ = on;
  ApplyFlags();
}
void Window::SetMinBox(bool on) {
  min_box_ = on;
  ApplyFlags();
}
void Window::SetMaxBox(bool on) {
  max_box_ = on;
  ApplyFlags();
}
void Window::SetResizable(bool on) {
  resizable_ = on;
  ApplyGeometry();
}

bool Window::Visible() const {
  return widget_->isVisible();
}

QWidget* Window::widget() const {
  return widget_.get();
}
QWidget* Window::ContentWidget() const {
  return widget_.get();
}

void Window::ApplyFlags() {
  Qt::WindowFlags flags = type_ == WindowType::Main ? Qt::Window : Qt::Dialog;
  flags |= Qt::CustomizeWindowHint;
  if (title_bar_) flags |= Qt::WindowTitleHint;
  if (control_menu_) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (min_box_) flags |= Qt::WindowMinimizeButtonHint;
  if (max_box_) flags |= Qt::WindowMaximizeButtonHint;
  // Top-level without a Qt parent: the Window owns its widget alone, whatever the order in
  // which the product destroys its windows. Response windows are application-modal anyway.
  const bool visible = widget_->isVisible();
  widget_->setWindowFlags(flags);
  if (visible) widget_->show();
}

void Window::ApplyGeometry() {
  const QSize size(UnitsToPixelsX(geometry_.width), UnitsToPixelsY(geometry_.height));
  if (resizable_) {
    widget_->setMinimumSize(0, 0);
    widget_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    widget_->resize(size);
  } else {
    widget_->setFixedSize(size);
  }
  widget_->move(UnitsToPixelsX(geometry_.x), UnitsToPixelsY(geometry_.y));
}

void Window::AddControl(Control* control) {
  controls_.push_back(control);
}

void Window::RemoveControl(Control* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

namespace {

// The controls placed directly on `container`, in the order of their tab-order values (0 keeps
// a control out); a tab control is followed by the controls of its pages, page by page, in
// their own order. This is the sequence that Tab walks.
void AppendTabSequence(const std::vector<Control*>& all, const Container* container,
                       std::vector<Control*>& out) {
  std::vector<Control*> here;
  for (Control* control : all) {
    if (control->ParentContainer() == container && control->TabOrder() > 0) {
      here.push_back(control);
    }
  }
  std::stable_sort(here.begin(), here.end(),
                   [](Control* a, Control* b) { return a->TabOrder() < b->TabOrder(); });
  for (Control* control : here) {
    if (control->widget()->focusPolicy() != Qt::NoFocus) out.push_back(control);
    if (auto* tab = dynamic_cast<TabControl*>(control)) {
      for (Control* page : all) {
        if (page->Parent() == tab) {
          if (auto* as_page = dynamic_cast<TabPage*>(page)) AppendTabSequence(all, as_page, out);
        }
      }
    }
  }
}

}  // namespace

std::vector<Control*> Window::TabSequence() const {
  std::vector<Control*> ordered;
  AppendTabSequence(controls_, this, ordered);
  return ordered;
}

void Window::ApplyTabOrder() {
  const std::vector<Control*> ordered = TabSequence();
  // Controls outside the sequence are reached by the mouse only.
  for (Control* control : controls_) {
    if (control->TabOrder() == 0 && control->widget()->focusPolicy() != Qt::NoFocus &&
        dynamic_cast<TabPage*>(control) == nullptr) {
      control->widget()->setFocusPolicy(Qt::ClickFocus);
    }
  }
  for (size_t i = 1; i < ordered.size(); ++i) {
    QWidget::setTabOrder(ordered[i - 1]->widget(), ordered[i]->widget());
  }
  if (ordered.size() > 1) QWidget::setTabOrder(ordered.back()->widget(), ordered.front()->widget());
  // The window opens with the focus on the first control of the tab order that can take it.
  for (Control* control : ordered) {
    if (control->Enabled() && control->Visible()) {
      control->widget()->setFocus(Qt::TabFocusReason);
      break;
    }
  }
}

CommandButton* Window::DialogButton(bool default_button) const {
  for (Control* control : controls_) {
    auto* button = dynamic_cast<CommandButton*>(control);
    if (button == nullptr || !button->Enabled() || !button->widget()->isVisible()) continue;
    if (default_button ? button->Default() : button->Cancel()) return button;
  }
  return nullptr;
}

int Window::ShowOpen() {
  if (open_) {
    widget_->raise();
    widget_->activateWindow();
    return 1;
  }
  ApplyGeometry();
  if (centered_) {
    Environment env;
    if (GetEnvironment(env) == 1) {
      const int x_px = (env.ScreenWidth - widget_->width()) / 2;
      const int y_px = (env.ScreenHeight - widget_->height()) / 2;
      geometry_.x = PixelsToUnits(std::max(0, x_px), XPixelsToUnits);
      geometry_.y = PixelsToUnits(std::max(0, y_px), YPixelsToUnits);
      widget_->move(x_px, y_px);
    }
  }
  open_ = true;
  ++g_open_windows;
  ApplyTabOrder();
  {
    ScriptGuard guard;
    open();
  }
  if (!open_) return 1;  // the open event closed it
  widget_->show();
  return 1;
}

int Window::RunModal() {
  if (open_) return -1;
  widget_->setWindowModality(Qt::ApplicationModal);
  const int result = ShowOpen();
  if (!open_) return result;
  QEventLoop loop;
  modal_loops_.push_back(&loop);
  loop.exec(QEventLoop::DialogExec);
  return 1;
}

int Window::CloseWindow(bool ask) {
  if (!open_ || closing_) return -1;
  closing_ = true;
  if (ask) {
    int refuse;
    {
      ScriptGuard guard;
      refuse = closequery();
    }
    if (refuse == 1) {
      closing_ = false;
      return -1;
    }
  }
  {
    ScriptGuard guard;
    close();
  }
  closing_ = false;
  open_ = false;
  --g_open_windows;
  widget_->hide();
  widget_->setWindowModality(Qt::NonModal);
  for (QEventLoop* loop : modal_loops_) loop->quit();
  modal_loops_.clear();
  QueueDeleteIfOwned(this);
  if (g_open_windows == 0 && g_last_window_hook) {
    auto hook = g_last_window_hook;
    hook();
  }
  return 1;
}

void Window::HandleKey(int qt_key, unsigned long flags) {
  ScriptGuard guard;
  const KeyCode code = KeyFromQt(qt_key);
  key(code, flags);
  // Enter presses the focused button, else the default button, and Esc the cancel button,
  // when the key event left the window open and the window has such a button.
  if (!open_ || (code != KeyCode::Enter && code != KeyCode::Escape)) return;
  if (code == KeyCode::Enter) {
    for (Control* control : controls_) {
      auto* button = dynamic_cast<CommandButton*>(control);
      if (button != nullptr && button->Enabled() && button->HasFocus()) {
        button->Press();
        return;
      }
    }
  }
  if (CommandButton* button = DialogButton(code == KeyCode::Enter)) button->Press();
}

void Window::HandleMouse(unsigned long flags, int x_px, int y_px) {
  ScriptGuard guard;
  clicked(flags, PixelsToUnits(x_px, XPixelsToUnits), PixelsToUnits(y_px, YPixelsToUnits));
}

// ---- Open / Close -------------------------------------------------------------------------

int Open(Window& window) {
  int result;
  if (window.Type() == WindowType::Response && !window.IsOpen()) {
    result = CurrentInteraction().OpenResponse(window);
  } else {
    result = window.ShowOpen();
  }
  QueueDeleteIfOwned(&window);
  return result;
}

int Close(Window& window) {
  return window.CloseWindow(true);
}

}  // namespace hostrt
