#include "runtime/ui/module_handle.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

namespace hostrt {

long ProgramModuleHandle() {
#ifdef _WIN32
  const auto address = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
  const long handle = static_cast<long>(address & 0x7FFF0000u);
  return handle != 0 ? handle : 0x10000;
#else
  return 0x10000;
#endif
}

}  // namespace hostrt
