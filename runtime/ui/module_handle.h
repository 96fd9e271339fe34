// Internal to runtime/ui: the running program's module handle as Handle(application) reports it.
// On Windows the program's real module handle (its load address, at a 64 KiB boundary), cut to
// a long; elsewhere a fixed non-zero value with the same property (low 16 bits zero), so that
// code passing the handle on as a 16-bit value names the running program, as on Windows.
#pragma once

namespace hostrt {

long ProgramModuleHandle();

}  // namespace hostrt
