// The selection dialog's drive entries, directory items, control table and
// scaling, shared by both desktop programs.
#include "dialog_model.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "file_list.h"

namespace dbfclean {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = kestrel::FoldCase(c);
  return s;
}

bool StartsWithDir(const std::string& path, const std::string& dir) {
  if (path.compare(0, dir.size(), dir) != 0) return false;
  return path.size() == dir.size() || dir.back() == '/' || path[dir.size()] == '/';
}

}  // namespace

const char* DriveBitmap(DriveKind kind) {
  switch (kind) {
    case DriveKind::Removable: return "FLOPPY";
    case DriveKind::Fixed: return "HARD";
    case DriveKind::Network: return "NETWORK";
    case DriveKind::CdRom: return "CDROM";
    case DriveKind::RamDisk: return "RAM";
    case DriveKind::Other: break;
  }
  return "";
}

std::optional<DriveEntry> WindowsDriveEntry(char letter, DriveKind kind, const std::string& label,
                                            const std::string& networkPath) {
  if (kind == DriveKind::Other) return std::nullopt;
  const std::string root = {kestrel::FoldCase(letter), ':'};
  std::string text = root;
  if (kind == DriveKind::Network && !networkPath.empty()) {
    text += " " + networkPath;
  } else if (kind != DriveKind::Removable) {
    text += " [" + label + "]";
  }
  return DriveEntry{Lower(text), DriveBitmap(kind), root};
}

bool IsPseudoVolume(const MountedVolume& v) {
  static const char* const kPseudo[] = {"proc",     "sysfs",   "cgroup",    "cgroup2",    "devpts",     "devtmpfs",
                                        "mqueue",   "debugfs", "tracefs",   "securityfs", "pstore",     "bpf",
                                        "configfs", "fusectl", "hugetlbfs", "autofs",     "binfmt_misc"};
  for (const char* type : kPseudo) {
    if (v.fsType == type) return true;
  }
  if (v.fsType == "overlay" && StartsWithDir(v.mountPoint, "/var/lib")) return true;
  if (v.fsType == "squashfs" && StartsWithDir(v.mountPoint, "/snap")) return true;
  if (StartsWithDir(v.mountPoint, "/run/media")) return false;
  for (const char* system : {"/proc", "/sys", "/dev", "/run"}) {
    if (StartsWithDir(v.mountPoint, system)) return true;
  }
  return false;
}

DriveKind LinuxDriveKind(const MountedVolume& v) {
  if (StartsWithDir(v.mountPoint, "/media") || StartsWithDir(v.mountPoint, "/run/media")) return DriveKind::Removable;
  for (const char* type : {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs", "fuse.sshfs", "9p"}) {
    if (v.fsType == type) return DriveKind::Network;
  }
  if (v.fsType == "iso9660" || v.fsType == "udf") return DriveKind::CdRom;
  if (v.fsType == "tmpfs" || v.fsType == "ramfs") return DriveKind::RamDisk;
  return DriveKind::Fixed;
}

std::optional<DriveEntry> LinuxDriveEntry(const MountedVolume& v) {
  if (IsPseudoVolume(v)) return std::nullopt;
  const DriveKind kind = LinuxDriveKind(v);
  std::string text = v.mountPoint;
  if (kind == DriveKind::Network && !v.source.empty()) {
    text += " " + v.source;
  } else if (kind != DriveKind::Removable) {
    text += " [" + v.label + "]";
  }
  return DriveEntry{text, DriveBitmap(kind), v.mountPoint};
}

std::vector<DriveEntry> LinuxDriveEntries(std::vector<MountedVolume> volumes) {
  std::sort(volumes.begin(), volumes.end(),
            [](const MountedVolume& a, const MountedVolume& b) { return a.mountPoint < b.mountPoint; });
  std::vector<DriveEntry> entries;
  for (const MountedVolume& v : volumes) {
    if (auto entry = LinuxDriveEntry(v)) entries.push_back(*entry);
  }
  return entries;
}

int LinuxEntryFor(const std::vector<DriveEntry>& entries, const std::string& directory) {
  int best = -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& root = entries[i].root;
    if (root.empty() || !StartsWithDir(directory, root)) continue;
    if (best < 0 || root.size() > entries[best].root.size()) best = static_cast<int>(i);
  }
  return best;
}

int DriveItemHeight(int textHeight, int floppyHeight) { return std::max(textHeight, floppyHeight); }

bool ShowsLowerCase(bool caseSensitive, bool casePreserving) { return !caseSensitive && !casePreserving; }

bool SamePath(const std::string& a, const std::string& b, bool caseSensitive) {
  return caseSensitive ? a == b : kestrel::EqualNoCase(a, b);
}

std::vector<DirItem> DirectoryItems(const std::string& directory, std::vector<std::string> subdirectories,
                                    PathStyle style, bool lowerCase) {
  const char sep = kestrel::PathSeparator(style);
  auto shown = [&](const std::string& s) { return lowerCase ? Lower(s) : s; };
  // The root: "c:\" on Windows, "/" on Linux.
  size_t rootEnd = directory.find(sep);
  rootEnd = rootEnd == std::string::npos ? directory.size() : rootEnd + 1;
  std::string rootPath = directory.substr(0, rootEnd);
  if (rootPath.empty() || rootPath.back() != sep) rootPath += sep;

  std::vector<DirItem> items;
  const bool atRoot = directory.size() <= rootPath.size();
  items.push_back(DirItem{atRoot ? DirItemKind::Current : DirItemKind::Root, shown(rootPath),
                          atRoot ? "CURRENTFOLDER" : "OPENFOLDER", 2, rootPath});
  size_t from = rootPath.size();
  while (!atRoot && from < directory.size()) {
    size_t to = directory.find(sep, from);
    if (to == std::string::npos) to = directory.size();
    const bool current = to >= directory.size() || to + 1 >= directory.size();
    const int index = static_cast<int>(items.size());
    items.push_back(DirItem{current ? DirItemKind::Current : DirItemKind::Ancestor,
                            shown(directory.substr(from, to - from)), current ? "CURRENTFOLDER" : "OPENFOLDER",
                            index * 4 + 2, directory.substr(0, to)});
    from = to + 1;
  }

  std::erase_if(subdirectories, [](const std::string& n) { return n == "." || n == ".."; });
  std::sort(subdirectories.begin(), subdirectories.end(), ListBoxLess);
  const int separators = static_cast<int>(std::count(directory.begin(), directory.end(), sep));
  const std::string prefix = directory.back() == sep ? directory : directory + sep;
  for (const std::string& name : subdirectories) {
    items.push_back(DirItem{DirItemKind::Subdirectory, shown(name), "CLOSEDFOLDER", separators * 4 + 6, prefix + name});
  }
  return items;
}

int CurrentItemIndex(const std::vector<DirItem>& items) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind == DirItemKind::Current) return static_cast<int>(i);
  }
  return -1;
}

std::string ProgramDirectory(const std::string& programPath, PathStyle style) {
  const size_t last = kestrel::LastPathBreak(programPath, style);
  return last == std::string::npos ? std::string() : programPath.substr(0, last + 1);
}

const std::vector<ControlPlace>& DialogControls() {
  static const std::vector<ControlPlace> kControls = {
      {"Label1", ControlClass::Label, 11, 4, 74, 13, "Directory name:", -1},
      {"Label2", ControlClass::Label, 10, 46, 53, 13, "Directories:", -1},
      {"Label3", ControlClass::Label, 189, 190, 33, 13, "Drives:", -1},
      {"Label4", ControlClass::Label, 189, 46, 55, 13, "Files: (*.dbf)", -1},
      {"dirList", ControlClass::DirectoryList, 11, 64, 165, 161, "", 0},
      {"fileList", ControlClass::FileList, 189, 64, 165, 121, "", 1},
      {"cmbDrive", ControlClass::DriveCombo, 189, 206, 165, 19, "", 2},
      {"eCurDir", ControlClass::Edit, 11, 21, 343, 21, "", 3},
      {"btnOK", ControlClass::Button, 88, 235, 89, 26, "&OK", 4},
      {"btnCancel", ControlClass::Button, 188, 235, 89, 26, "&Cancel", 5},
  };
  return kControls;
}

const ControlPlace* FindControl(const char* name) {
  for (const ControlPlace& c : DialogControls()) {
    if (std::strcmp(c.name, name) == 0) return &c;
  }
  return nullptr;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  const bool negative = (product < 0) != (c < 0);
  const int64_t magnitude = product < 0 ? -product : product;
  const int64_t divisor = c < 0 ? -static_cast<int64_t>(c) : c;
  const int64_t q = (magnitude + divisor / 2) / divisor;
  return static_cast<int>(negative ? -q : q);
}

int DialogFontHeight(int ppi) { return MulDiv(kDialogFontHeight, ppi, kDesignPpi); }

int ScaleToTextHeight(int value, int textHeight) { return MulDiv(value, textHeight, kDesignTextHeight); }

Rect ScaleControl(const ControlPlace& c, int textHeight) {
  return Rect{ScaleToTextHeight(c.left, textHeight), ScaleToTextHeight(c.top, textHeight),
              ScaleToTextHeight(c.width, textHeight), ScaleToTextHeight(c.height, textHeight)};
}

void ClickItem(ListSelection* s, int index, bool ctrl, bool shift) {
  const int count = static_cast<int>(s->selected.size());
  if (index < 0 || index >= count) return;
  s->caret = index;
  if (!shift) {
    if (ctrl) {
      s->selected[index] = !s->selected[index];
    } else {
      std::fill(s->selected.begin(), s->selected.end(), false);
      s->selected[index] = true;
    }
    s->anchor = index;
    return;
  }
  if (s->anchor < 0 || s->anchor >= count) s->anchor = index;
  if (!ctrl) std::fill(s->selected.begin(), s->selected.end(), false);
  for (int i = std::min(s->anchor, index); i <= std::max(s->anchor, index); ++i) s->selected[i] = true;
}

std::string EscapedName(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(bytes.size());
  const size_t n = bytes.size();
  for (size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    // The length of the sequence this byte starts and the range its second
    // byte must lie in (no overlong forms, no surrogates, nothing above U+10FFFF).
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b < 0x80) {
      length = 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    }
    bool valid = length > 0 && i + length <= n;
    for (size_t k = 1; valid && k < length; ++k) {
      const auto c = static_cast<unsigned char>(bytes[i + k]);
      valid = k == 1 ? c >= low && c <= high : c >= 0x80 && c <= 0xBF;
    }
    if (valid) {
      shown.append(bytes, i, length);
      i += length;
    } else {
      shown += "\\x";
      shown += kHex[b >> 4];
      shown += kHex[b & 15];
      ++i;
    }
  }
  return shown;
}

std::string WrapToWidth(const std::string& text, int maxWidth, const std::function<int(std::string_view)>& width,
                        const std::string& newline) {
  std::string wrapped;
  wrapped.reserve(text.size() + text.size() / 16);
  size_t at = 0;
  while (at < text.size()) {
    // Blanks and line ends pass as they are; the box breaks lines there.
    const size_t wordEnd = text.find_first_of(" \r\n", at);
    if (wordEnd == at) {
      wrapped += text[at++];
      continue;
    }
    std::string_view word(text.data() + at, (wordEnd == std::string::npos ? text.size() : wordEnd) - at);
    at += word.size();
    while (word.size() > 1 && width(word) > maxWidth) {
      // The longest head that fits (one character at least), cut after its
      // last path separator when it has one.
      size_t fits = 1;
      while (fits < word.size() && width(word.substr(0, fits + 1)) <= maxWidth) ++fits;
      size_t cut = fits;
      for (size_t i = fits; i > 1; --i) {
        if (word[i - 1] == '\\' || word[i - 1] == '/') {
          cut = i;
          break;
        }
      }
      wrapped.append(word.substr(0, cut));
      wrapped += newline;
      word.remove_prefix(cut);
    }
    wrapped.append(word);
  }
  return wrapped;
}

}  // namespace dbfclean
