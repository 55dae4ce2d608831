// Logical drives, their kinds, labels and network paths, and volume flags,
// all through the platform.
#include "platform_drives.h"

namespace dbfclean {

namespace {

DriveKind KindOf(kestrel::DriveType type) {
  switch (type) {
    case kestrel::DriveType::Removable: return DriveKind::Removable;
    case kestrel::DriveType::Fixed: return DriveKind::Fixed;
    case kestrel::DriveType::Remote: return DriveKind::Network;
    case kestrel::DriveType::CdRom: return DriveKind::CdRom;
    case kestrel::DriveType::RamDisk: return DriveKind::RamDisk;
    default: return DriveKind::Other;
  }
}

}  // namespace

std::vector<DriveEntry> PlatformDrives::Entries() {
  std::vector<DriveEntry> entries;
  const uint32_t present = platform_.LogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(present & (1u << i))) continue;
    const char letter = static_cast<char>('a' + i);
    const std::string drive = {letter, ':'};
    const std::string root = drive + '\\';
    const DriveKind kind = KindOf(platform_.DriveTypeOf(root));
    kestrel::VolumeInfo volume;
    if (kind != DriveKind::Removable && kind != DriveKind::Other) platform_.VolumeInformation(root, &volume);
    std::string networkPath;
    if (kind == DriveKind::Network) platform_.NetworkConnection(drive, &networkPath);
    if (auto entry = WindowsDriveEntry(letter, kind, volume.label, networkPath)) entries.push_back(*entry);
  }
  return entries;
}

VolumeCase PlatformDrives::CaseOf(const std::string& directory) {
  kestrel::VolumeInfo volume;
  if (directory.size() < 2 || directory[1] != ':' ||
      platform_.VolumeInformation(directory.substr(0, 2) + "\\", &volume) != 0) {
    return VolumeCase{false, false};
  }
  return VolumeCase{volume.caseSensitive, volume.casePreserving};
}

}  // namespace dbfclean
