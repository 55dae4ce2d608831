// The drives the selection dialog offers on Windows, as the platform reports
// them: every logical drive of a kind it lists, with its label or network
// path, and each volume's case rules. A removable drive's medium is never
// touched; a query that fails leaves out only what it would have told.
#pragma once

#include "file_browser.h"
#include "kestrel/platform.h"

namespace dbfclean {

class PlatformDrives : public DriveSource {
 public:
  explicit PlatformDrives(kestrel::Platform& platform) : platform_(platform) {}
  std::vector<DriveEntry> Entries() override;
  // A volume whose rules cannot be read counts as neither telling case
  // apart nor keeping it, as a volume without those flags does.
  VolumeCase CaseOf(const std::string& directory) override;

 private:
  kestrel::Platform& platform_;
};

}  // namespace dbfclean
