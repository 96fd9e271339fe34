// Keyboard state as scripts see it: KeyDown(key) tells whether a key (or modifier) is down in
// the input event being handled. The runtime watches every input event of the application once
// the first window exists; before that nothing is down.
#pragma once

namespace hostrt {

enum class KeyCode {
  Null,
  Escape,
  Enter,
  Tab,
  Backspace,
  Delete,
  Insert,
  Space,
  Home,
  End,
  PageUp,
  PageDown,
  LeftArrow,
  RightArrow,
  UpArrow,
  DownArrow,
  Shift,
  Control,
  Alt,
  F1,
  F2,
  F3,
  F4,
  F5,
  F6,
  F7,
  F8,
  F9,
  F10,
  F11,
  F12,
  A,
  B,
  C,
  D,
  E,
  F,
  G,
  H,
  I,
  J,
  K,
  L,
  M,
  N,
  O,
  P,
  Q,
  R,
  S,
  T,
  U,
  V,
  W,
  X,
  Y,
  Z,
  Key0,
  Key1,
  Key2,
  Key3,
  Key4,
  Key5,
  Key6,
  Key7,
  Key8,
  Key9,
  Other,
};

inline constexpr KeyCode KeyEscape = KeyCode::Escape;
inline constexpr KeyCode KeyEnter = KeyCode::Enter;
inline constexpr KeyCode KeyControl = KeyCode::Control;
inline constexpr KeyCode KeyAlt = KeyCode::Alt;
inline constexpr KeyCode KeyShift = KeyCode::Shift;

// Key flags passed to key events: which modifiers were down.
inline constexpr unsigned long kKeyFlagShift = 1;
inline constexpr unsigned long kKeyFlagControl = 2;
inline constexpr unsigned long kKeyFlagAlt = 4;

// Mouse flags passed to clicked events.
inline constexpr unsigned long kMouseFlagLeft = 1;
inline constexpr unsigned long kMouseFlagRight = 2;
inline constexpr unsigned long kMouseFlagShift = 4;
inline constexpr unsigned long kMouseFlagControl = 8;
inline constexpr unsigned long kMouseFlagMiddle = 16;
inline constexpr unsigned long kMouseFlagAlt = 32;

bool KeyDown(KeyCode key);

// The key code for a Qt key value (Qt::Key); KeyCode::Other for keys without a code here.
KeyCode KeyFromQt(int qt_key);

// Starts watching input events (idempotent; needs a QApplication). Windows call it.
void WatchKeyboard();

}  // namespace hostrt
