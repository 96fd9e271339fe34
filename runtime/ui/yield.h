// Yield(): lets the windows answer while a script works for a long time. Handles the input and
// paint events that are waiting (so a stop button can be pressed and the window repaints) and
// returns; it never waits for new events. Scripts that call it must keep the operator from
// starting a second run meanwhile (disable the buttons that start one). True when it handled
// events; without a QApplication it does nothing and returns false.
#pragma once

// windows.h defines Yield as an empty macro; the built-in of that name must not vanish.
#ifdef Yield
#undef Yield
#endif

namespace hostrt {

bool Yield();

}  // namespace hostrt
