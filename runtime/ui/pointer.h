// SetPointer: the mouse pointer shown over the application. The busy pointer (HourGlass) stays
// until SetPointer(Arrow) or until the application waits for the operator again (the script
// has ended or a box or dialog is waiting), as the product's scripts expect. Harmless without a
// GUI application.
#pragma once

namespace hostrt {

enum class Pointer { Arrow = 1, Cross = 2, Beam = 3, HourGlass = 8 };
inline constexpr Pointer Arrow = Pointer::Arrow;
inline constexpr Pointer HourGlass = Pointer::HourGlass;

// Returns the pointer that was shown before.
Pointer SetPointer(Pointer pointer);
Pointer CurrentPointer();

}  // namespace hostrt
