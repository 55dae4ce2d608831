// The drives the selection dialog offers on Windows: every logical drive of
// a kind it lists, with its label or network path, and each volume's case
// rules. Media are never touched for a removable drive, and a drive without
// a medium answers without the system's critical-error box.
#pragma once

#include "file_browser.h"

namespace dbfclean::win32 {

class Win32Drives : public DriveSource {
 public:
  std::vector<DriveEntry> Entries() override;
  VolumeCase CaseOf(const std::string& directory) override;
};

}  // namespace dbfclean::win32
