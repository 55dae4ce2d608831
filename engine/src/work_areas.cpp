// The work-area table: selection, the shared "no table here" check, the
// accessors for the current area, and closing every area.
#include "kestrel/engine.h"

namespace kestrel {

void Engine::Select(uint8_t n) {
  ErrorCode = 0;
  if (n >= 1 && n <= kUserAreas) {
    current_ = n;
    return;
  }
  if (n == 0) {
    for (uint8_t a = 1; a <= kUserAreas; ++a) {
      if (!areas_[a]) {
        current_ = a;
        return;
      }
    }
    SetError(engerr::InvalidParameter, "No free workarea available [Select(0)]");
    return;
  }
  SetError(engerr::InvalidParameter, "Invalid workarea selected = [Select(" + std::to_string(n) + ")]");
}

bool Engine::NoDatabaseInUse(const std::string& op) {
  if (areas_[current_]) return false;
  SetError(engerr::NoTableInUse, "No database in use [" + op + "]  WorkArea = " + std::to_string(current_));
  return true;
}

std::string Engine::CurrentAlias() const { return areas_[current_] ? areas_[current_]->Alias : std::string(); }

std::string Engine::CurrentDbfName() const { return areas_[current_] ? areas_[current_]->FileName : std::string(); }

void Engine::CloseAllAreas() {
  ErrorCode = 0;
  for (uint8_t a = 1; a <= kUserAreas; ++a) {
    current_ = a;
    CloseArea();
  }
  current_ = 1;
}

}  // namespace kestrel
