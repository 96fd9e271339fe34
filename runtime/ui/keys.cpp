#include "runtime/ui/keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QObject>
#include <set>

namespace hostrt {
namespace {

struct KeyboardState {
  Qt::KeyboardModifiers modifiers;
  std::set<KeyCode> down;
};

KeyboardState& State() {
  static KeyboardState state;
  return state;
}

class KeyboardWatcher : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::ShortcutOverride: {
        auto* key = static_cast<QKeyEvent*>(event);
        State().modifiers = key->modifiers();
        if (event->type() == QEvent::KeyPress) {
          const KeyCode code = KeyFromQt(key->key());
          // A key's release can be lost (its window closed on the press), so a new press
          // forgets the other ordinary keys; modifiers come with every event anyway.
          if (code != KeyCode::Shift && code != KeyCode::Control && code != KeyCode::Alt) {
            std::erase_if(State().down, [](KeyCode down) {
              return down != KeyCode::Shift && down != KeyCode::Control && down != KeyCode::Alt;
            });
          }
          State().down.insert(code);
        }
        break;
      }
      case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        State().modifiers = key->modifiers();
        if (!key->isAutoRepeat()) State().down.erase(KeyFromQt(key->key()));
        break;
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
        State().modifiers = static_cast<QMouseEvent*>(event)->modifiers();
        break;
      case QEvent::ApplicationDeactivate:
      case QEvent::WindowDeactivate:
        State().down.clear();
        State().modifiers = Qt::NoModifier;
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

KeyCode KeyFromQt(int qt_key) {
  if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) {
    return static_cast<KeyCode>(static_cast<int>(KeyCode::A) + (qt_key - Qt::Key_A));
  }
  if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) {
    return static_cast<KeyCode>(static_cast<int>(KeyCode::Key0) + (qt_key - Qt::Key_0));
  }
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F12) {
    return static_cast<KeyCode>(static_cast<int>(KeyCode::F1) + (qt_key - Qt::Key_F1));
  }
  switch (qt_key) {
    case Qt::Key_Escape:
      return KeyCode::Escape;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return KeyCode::Enter;
    case Qt::Key_Tab:
      return KeyCode::Tab;
    case Qt::Key_Backspace:
      return KeyCode::Backspace;
    case Qt::Key_Delete:
      return KeyCode::Delete;
    case Qt::Key_Insert:
      return KeyCode::Insert;
    case Qt::Key_Space:
      return KeyCode::Space;
    case Qt::Key_Home:
      return KeyCode::Home;
    case Qt::Key_End:
      return KeyCode::End;
    case Qt::Key_PageUp:
      return KeyCode::PageUp;
    case Qt::Key_PageDown:
      return KeyCode::PageDown;
    case Qt::Key_Left:
      return KeyCode::LeftArrow;
    case Qt::Key_Right:
      return KeyCode::RightArrow;
    case Qt::Key_Up:
      return KeyCode::UpArrow;
    case Qt::Key_Down:
      return KeyCode::DownArrow;
    case Qt::Key_Shift:
      return KeyCode::Shift;
    case Qt::Key_Control:
      return KeyCode::Control;
    case Qt::Key_Alt:
      return KeyCode::Alt;
    default:
      return KeyCode::Other;
  }
}

bool KeyDown(KeyCode key) {
  const KeyboardState& state = State();
  switch (key) {
    case KeyCode::Shift:
      return state.modifiers.testFlag(Qt::ShiftModifier) || state.down.count(key) > 0;
    case KeyCode::Control:
      return state.modifiers.testFlag(Qt::ControlModifier) || state.down.count(key) > 0;
    case KeyCode::Alt:
      return state.modifiers.testFlag(Qt::AltModifier) || state.down.count(key) > 0;
    default:
      return state.down.count(key) > 0;
  }
}

void WatchKeyboard() {
  static KeyboardWatcher* watcher = nullptr;
  auto* app = QCoreApplication::instance();
  if (watcher != nullptr || app == nullptr) return;
  // Owned by the application object, so it goes away with it.
  watcher = new KeyboardWatcher(app);
  QObject::connect(watcher, &QObject::destroyed, [] { watcher = nullptr; });
  app->installEventFilter(watcher);
}

}  // namespace hostrt
