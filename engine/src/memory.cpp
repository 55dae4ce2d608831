// The engine's guarded memory routines: freeing a block that is none is an
// engine error, not a crash.
#include <new>

#include "kestrel/engine.h"

namespace kestrel {

void Engine::GetMem(void*& p, uint16_t size) { p = ::operator new(size); }

void Engine::FreeMem(void*& p, uint16_t /*size*/) {
  if (p == nullptr) {
    SetError(engerr::BadBlockAddress, "Attempt to free NIL pointer [FreeMem()]");
  } else {
    ::operator delete(p);
  }
  p = nullptr;
}

}  // namespace kestrel
