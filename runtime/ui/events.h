// ProcessPendingEvents: lets the application repaint its windows (and, when asked, take the
// operator's input) while a long piece of work runs on the window's thread. Input is left
// queued by default, so a button cannot start a second run inside the first. Harmless without
// a GUI application.
#pragma once

namespace hostrt {

void ProcessPendingEvents(bool withInput = false);

}  // namespace hostrt
