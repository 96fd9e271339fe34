#include "runtime/ui/pointer.h"

#include <QApplication>
#include <QCursor>
#include <QTimer>

namespace hostrt {
namespace {

Pointer g_pointer = Pointer::Arrow;
bool g_reset_pending = false;

Qt::CursorShape ShapeOf(Pointer pointer) {
  switch (pointer) {
    case Pointer::Cross:
      return Qt::CrossCursor;
    case Pointer::Beam:
      return Qt::IBeamCursor;
    case Pointer::HourGlass:
      return Qt::WaitCursor;
    case Pointer::Arrow:
      break;
  }
  return Qt::ArrowCursor;
}

bool HaveGui() {
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void Apply(Pointer pointer) {
  if (!HaveGui()) return;
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  if (pointer != Pointer::Arrow) QApplication::setOverrideCursor(QCursor(ShapeOf(pointer)));
}

}  // namespace

Pointer SetPointer(Pointer pointer) {
  const Pointer previous = g_pointer;
  g_pointer = pointer;
  Apply(pointer);
  if (pointer != Pointer::Arrow && HaveGui() && !g_reset_pending) {
    // Runs as soon as the event loop is back in charge: the script has ended or waits for the
    // operator.
    g_reset_pending = true;
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
      g_reset_pending = false;
      g_pointer = Pointer::Arrow;
      Apply(Pointer::Arrow);
    });
  }
  return previous;
}

Pointer CurrentPointer() {
  return g_pointer;
}

}  // namespace hostrt
