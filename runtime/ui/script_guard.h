// Internal to runtime/ui: marks the time while product code (an event script) runs, so that
// the runtime never deletes a window while one of its scripts is still on the stack.
#pragma once

namespace hostrt {

class ScriptGuard {
 public:
  ScriptGuard();
  ~ScriptGuard();
  ScriptGuard(const ScriptGuard&) = delete;
  ScriptGuard& operator=(const ScriptGuard&) = delete;

  static bool ScriptRunning();
};

}  // namespace hostrt
