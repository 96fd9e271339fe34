#include "libfoundation/nvo_gvar.h"

#include <memory>

namespace importlib {

namespace {
std::unique_ptr<nvo_gvar> g_owner;
}  // namespace

nvo_gvar* gvar = nullptr;

void CreateGvar() {
  // The new object is complete before the old one goes, so `gvar` never points at freed memory.
  auto fresh = std::make_unique<nvo_gvar>();
  gvar = fresh.get();
  g_owner = std::move(fresh);
}

void DestroyGvar() {
  gvar = nullptr;
  g_owner.reset();
}

}  // namespace importlib
