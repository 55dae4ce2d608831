// Engine start-up (date layout from the user's language, the empty work-area
// table) and the exit procedure that closes every table still open.
#include "kestrel/engine.h"

namespace kestrel {

Engine::Engine(Platform& platform) : platform_(platform) {
  EngineStartup();
  WorkAreaStartup();
}

Engine::~Engine() {
  // The exit procedure of a normal end. Nothing may escape a destructor.
  if (exitProcRegistered_) {
    try {
      EngineShutdown();
    } catch (...) {
    }
  }
}

void Engine::EngineStartup() {
  // No index, filter, scope or memo hooks exist in this engine; tables are
  // always read in physical order without a memo file.
  const uint16_t lang = platform_.UserLanguage();
  const uint16_t primary = lang & 0x3FF;
  const uint16_t sub = lang >> 10;
  switch (primary) {
    case 7: DateFormat = 5; break;
    case 9: DateFormat = sub == 1 ? 0 : 2; break;
    case 10: DateFormat = 6; break;
    case 12: DateFormat = sub == 3 ? 7 : 4; break;
    case 16: DateFormat = 3; break;
    case 25: DateFormat = 8; break;
    default: DateFormat = 0; break;
  }
  current_ = 1;
}

void Engine::WorkAreaStartup() {
  exitProcRegistered_ = true;
  DefaultOpenMode = openmode::Shared;
  for (auto& slot : areas_) slot.reset();
  EngineReady = true;
}

void Engine::EngineShutdown() {
  if (!EngineReady) return;
  try {
    current_ = 34;
    CloseArea();
    current_ = 35;
    CloseArea();
    CloseAllAreas();
  } catch (const EKestrelError&) {
    EngineReady = false;
  }
}

}  // namespace kestrel
