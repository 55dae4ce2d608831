// Logical drives, their kinds, labels and network paths, and volume flags.
#include "drives.h"

#include <windows.h>
// after windows.h, which it needs
#include <winnetwk.h>

namespace dbfclean::win32 {

namespace {

DriveKind KindOf(UINT type) {
  switch (type) {
    case DRIVE_REMOVABLE: return DriveKind::Removable;
    case DRIVE_FIXED: return DriveKind::Fixed;
    case DRIVE_REMOTE: return DriveKind::Network;
    case DRIVE_CDROM: return DriveKind::CdRom;
    case DRIVE_RAMDISK: return DriveKind::RamDisk;
    default: return DriveKind::Other;
  }
}

// Volume information with the system's critical-error boxes suppressed, so
// that a drive without a medium answers with a failure instead of a dialog.
bool VolumeInformation(const std::string& root, std::string* label, DWORD* flags) {
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  char name[MAX_PATH + 1] = "";
  DWORD fsFlags = 0;
  const BOOL ok = GetVolumeInformationA(root.c_str(), name, sizeof name, nullptr, nullptr, &fsFlags, nullptr, 0);
  SetErrorMode(oldMode);
  if (label) *label = ok ? name : "";
  if (flags) *flags = ok ? fsFlags : 0;
  return ok != FALSE;
}

}  // namespace

std::vector<DriveEntry> Win32Drives::Entries() {
  std::vector<DriveEntry> entries;
  const DWORD present = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(present & (1u << i))) continue;
    const char letter = static_cast<char>('a' + i);
    const std::string root = {letter, ':', '\\'};
    const DriveKind kind = KindOf(GetDriveTypeA(root.c_str()));
    std::string label;
    std::string networkPath;
    if (kind != DriveKind::Removable && kind != DriveKind::Other) VolumeInformation(root, &label, nullptr);
    if (kind == DriveKind::Network) {
      char remote[MAX_PATH];
      DWORD size = sizeof remote;
      const std::string local = {letter, ':'};
      if (WNetGetConnectionA(local.c_str(), remote, &size) == NO_ERROR) networkPath = remote;
    }
    if (auto entry = WindowsDriveEntry(letter, kind, label, networkPath)) entries.push_back(*entry);
  }
  return entries;
}

VolumeCase Win32Drives::CaseOf(const std::string& directory) {
  DWORD flags = 0;
  if (directory.size() >= 2 && directory[1] == ':') VolumeInformation(directory.substr(0, 2) + "\\", nullptr, &flags);
  return VolumeCase{(flags & FILE_CASE_SENSITIVE_SEARCH) != 0, (flags & FILE_CASE_PRESERVED_NAMES) != 0};
}

}  // namespace dbfclean::win32
