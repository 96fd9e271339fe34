#include "runtime/ui/events.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace hostrt {

void ProcessPendingEvents(bool withInput) {
  if (QCoreApplication::instance() == nullptr) return;
  QCoreApplication::processEvents(withInput ? QEventLoop::AllEvents
                                            : QEventLoop::ExcludeUserInputEvents);
}

}  // namespace hostrt
