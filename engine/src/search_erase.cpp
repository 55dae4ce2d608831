// The engine's directory search (FindFirst, FindNext, FindClose) and the
// wildcard erase built on it.
#include "kestrel/engine.h"

namespace kestrel {

int32_t Engine::FindFirst(const std::string& pattern, uint32_t attributes, FoundFile& found) {
  search_.reset();
  FindStatus = platform_.FindFirst(pattern, attributes, &search_, &found);
  return FindStatus;
}

int32_t Engine::FindNext(FoundFile& found) {
  FindStatus = search_ ? search_->Next(&found) : oserr::NoMoreFiles;
  return FindStatus;
}

void Engine::FindClose() { search_.reset(); }

void Engine::EraseFiles(const std::string& mask) {
  ErrorCode = 0;
  if (mask.find_first_of("*?") == std::string::npos) {
    ErrorCode = platform_.RemoveFile(mask);
    if (ErrorCode != 0) SetError(ErrorCode, "Error erasing " + mask);
    return;
  }
  FileNameParts parts = SplitFileName(FullPathName(mask));
  std::string pattern = Cut(parts.Dir + parts.Name + parts.Ext, kMaxText);
  FoundFile found;
  ErrorCode = static_cast<uint16_t>(FindFirst(pattern, attr::Archive, found));
  uint16_t failures = 0;
  while (FindStatus == 0) {
    // A file that cannot go (read-only, open elsewhere, vanished) is only
    // counted; the others are still erased.
    if (platform_.RemoveFile(parts.Dir + found.name) != 0) ++failures;
    FindNext(found);
  }
  FindClose();
  if (failures > 0) {
    SetError(oserr::AccessDenied, "Could not erase " + std::to_string(failures) + " files like " + mask);
  }
}

}  // namespace kestrel
