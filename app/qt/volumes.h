// The drives the selection dialog offers on Linux: the mounted volumes, as
// the system reports them or as a test gives them. Linux names keep their
// case and tell it apart.
#pragma once

#include <optional>
#include <vector>

#include "file_browser.h"

namespace dbfclean {

class QtVolumes : public DriveSource {
 public:
  // `given`: the volumes to offer instead of the mounted ones.
  explicit QtVolumes(std::optional<std::vector<MountedVolume>> given = std::nullopt) : given_(std::move(given)) {}
  std::vector<DriveEntry> Entries() override;
  VolumeCase CaseOf(const std::string&) override { return VolumeCase{true, true}; }

 private:
  std::optional<std::vector<MountedVolume>> given_;
};

}  // namespace dbfclean
