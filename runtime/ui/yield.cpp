#include "runtime/ui/yield.h"

#include <QCoreApplication>

namespace hostrt {

bool Yield() {
  if (QCoreApplication::instance() == nullptr) return false;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return true;
}

}  // namespace hostrt
