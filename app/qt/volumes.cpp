// The mounted volumes, read from the system through Qt.
#include "volumes.h"

#include <QFile>
#include <QStorageInfo>

namespace dbfclean {

std::vector<DriveEntry> QtVolumes::Entries() {
  if (given_) return LinuxDriveEntries(*given_);
  std::vector<MountedVolume> volumes;
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    volumes.push_back(MountedVolume{info.fileSystemType().toStdString(),
                                    QFile::encodeName(info.rootPath()).toStdString(), info.device().toStdString(),
                                    QFile::encodeName(info.name()).toStdString()});
  }
  return LinuxDriveEntries(std::move(volumes));
}

}  // namespace dbfclean
