// The selection dialog's linked controls: entering directories and drives,
// listing them, and committing the new state only once all of it succeeded.
#include "file_browser.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "file_list.h"

namespace dbfclean {

using kestrel::PathStyle;

namespace {

// The one wording of a failure of the dialog, the same on every system.
BrowseResult Failure(uint16_t code, const char* doing, const std::string& path) {
  BrowseResult result;
  result.code = code;
  result.error = "I/O error " + std::to_string(code) + " " + doing + " " + path;
  return result;
}

// Keeps the first failure of several.
void Adopt(BrowseResult* result, const BrowseResult& other) {
  result->changed |= other.changed;
  if (result->ok() && !other.ok()) {
    result->error = other.error;
    result->code = other.code;
  }
}

}  // namespace

struct FileBrowser::Listing {
  std::string directory;
  VolumeCase volumeCase;
  std::vector<DirItem> items;
  bool filesRead = false;
  std::vector<std::string> files;
};

FileBrowser::FileBrowser(kestrel::Platform& platform, DriveSource& drives, Options options)
    : platform_(platform), source_(drives), options_(std::move(options)) {}

int FileBrowser::DriveIndex() const {
  if (directory_.empty()) return -1;
  if (options_.style == PathStyle::Posix) return LinuxEntryFor(drives_, directory_);
  if (directory_.size() < 2 || directory_[1] != ':') return -1;
  const char letter = kestrel::FoldCase(directory_[0]);
  for (size_t i = 0; i < drives_.size(); ++i) {
    if (kestrel::FoldCase(drives_[i].root[0]) == letter) return static_cast<int>(i);
  }
  return -1;
}

BrowseResult FileBrowser::List(const std::string& directory, Listing* listing) {
  const PathStyle style = options_.style;
  listing->directory = directory;
  std::vector<std::string> subdirectories;
  std::unique_ptr<kestrel::DirSearch> search;
  kestrel::FoundFile found;
  int32_t rc =
      platform_.FindFirst(kestrel::WithinDirectory(directory, "*.*", style), kestrel::attr::Directory, &search, &found);
  if (rc != 0 && rc != kestrel::oserr::FileNotFound && rc != kestrel::oserr::NoMoreFiles) {
    return Failure(static_cast<uint16_t>(rc), "reading", directory);
  }
  for (; rc == 0; rc = search->Next(&found)) {
    if (found.attributes & kestrel::attr::Directory) subdirectories.push_back(found.name);
  }
  search.reset();
  listing->volumeCase = source_.CaseOf(directory);
  listing->items = DirectoryItems(directory, std::move(subdirectories), style,
                                  ShowsLowerCase(listing->volumeCase.sensitive, listing->volumeCase.preserving));

  // The file list reads its names again only for another directory.
  listing->filesRead = directory_.empty() || !SamePath(directory, directory_, style == PathStyle::Posix);
  if (!listing->filesRead) return {};
  bool busy = false;
  rc = ReadFileList(
      platform_, directory, kTableMask, &listing->files,
      [&] {
        if (!busy && options_.busy) options_.busy(true);
        busy = true;
      },
      style);
  if (busy && options_.busy) options_.busy(false);
  if (rc != 0) return Failure(static_cast<uint16_t>(rc), "reading", directory);
  return {};
}

BrowseResult FileBrowser::Load(const std::string& path, Listing* listing) {
  uint16_t rc = platform_.ChangeDirectory(path);
  // Windows says "file not found" for a directory whose last name is
  // missing, Linux "path not found": it is the one fault, a path that is not
  // there, and the user reads one number for it on both.
  if (rc == kestrel::oserr::FileNotFound) rc = kestrel::oserr::PathNotFound;
  if (rc != 0) return Failure(rc, "entering", path);
  // Read back: "d:" means that drive's current directory, and the system
  // spells the path its own way.
  const std::string directory = platform_.CurrentDirectory();
  BrowseResult result =
      directory.empty() ? Failure(kestrel::oserr::PathNotFound, "entering", path) : List(directory, listing);
  if (!result.ok() && !directory_.empty())
    platform_.ChangeDirectory(directory_);  // a failure here changes nothing more
  return result;
}

unsigned FileBrowser::Commit(Listing&& listing) {
  const int driveBefore = DriveIndex();
  unsigned what = changed::Directories;
  directory_ = std::move(listing.directory);
  volumeCase_ = listing.volumeCase;
  items_ = std::move(listing.items);
  if (listing.filesRead) {
    files_ = std::move(listing.files);
    what |= changed::Files;
  }
  editText_ = directory_;
  what |= changed::EditText;
  if (DriveIndex() != driveBefore) what |= changed::Drive;
  return what;
}

BrowseResult FileBrowser::Enter(const std::string& path) {
  Listing listing;
  BrowseResult result = Load(path, &listing);
  if (result.ok()) result.changed = Commit(std::move(listing));
  return result;
}

BrowseResult FileBrowser::OpenItem(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return {};
  return Enter(items_[index].path);
}

BrowseResult FileBrowser::ChooseDrive(int index) {
  if (index < 0 || index >= static_cast<int>(drives_.size())) return {};
  BrowseResult result = Enter(drives_[index].root);
  if (!result.ok()) result.changed = changed::Drive;
  return result;
}

BrowseResult FileBrowser::FormClose() {
  if (options_.programDir.empty()) return {};
  const uint16_t rc = platform_.ChangeDirectory(options_.programDir);
  return rc == 0 ? BrowseResult{} : Failure(rc, "entering", options_.programDir);
}

std::string FileBrowser::DefaultStart() {
  // A copied dbfclean.exe beside the tables opens on them; an installed
  // Linux program lies in a system directory, so it opens where it was
  // started (given as a path, with its separator, as the program's is).
  if (options_.style == PathStyle::Windows) return options_.programDir;
  std::string current = platform_.CurrentDirectory();
  if (!current.empty() && current.back() != '/') current += '/';
  return current;
}

BrowseResult FileBrowser::EnterArgument() {
  const PathStyle style = options_.style;
  const std::string full = platform_.FullPath(options_.argument);
  if (full.empty()) return Failure(kestrel::oserr::PathNotFound, "entering", options_.argument);
  BrowseResult entered = Enter(full);
  if (entered.ok()) return entered;

  // Not a directory: the path of a file opens the file's directory, with
  // the file selected when it is one of the tables listed.
  const size_t cut = kestrel::LastPathBreak(full, style);
  if (cut == std::string::npos || cut + 1 >= full.size()) return entered;
  const std::string name = full.substr(cut + 1);
  std::unique_ptr<kestrel::DirSearch> search;
  kestrel::FoundFile found;
  std::string stored;  // the name as the file system has it: the exact spelling, else one without regard to case
  const uint32_t anyFile =
      kestrel::attr::ReadOnly | kestrel::attr::Hidden | kestrel::attr::System | kestrel::attr::Archive;
  for (int32_t rc = platform_.FindFirst(full, anyFile, &search, &found); rc == 0; rc = search->Next(&found)) {
    if ((found.attributes & kestrel::attr::Directory) || !SamePath(found.name, name, false)) continue;
    if (stored.empty() || found.name == name) stored = found.name;
  }
  if (stored.empty()) return entered;
  BrowseResult opened = Enter(full.substr(0, cut + 1));
  if (!opened.ok()) return opened;
  const auto at = std::find(files_.begin(), files_.end(), stored);
  if (at != files_.end()) {
    opened.preselected = static_cast<int>(at - files_.begin());
  } else {
    opened.notice = stored + " is not in the list of tables: it lists the directory's *.dbf files that are not hidden.";
  }
  return opened;
}

BrowseResult FileBrowser::FormCreate() {
  BrowseResult result;
  drives_ = source_.Entries();
  result.changed = changed::Drives;

  // The lists start on the process's current directory, and the edit box
  // names it from the start: a user who opens the dialog on a root ("/",
  // "D:\") sees where it is before moving anywhere.
  Listing start;
  const std::string current = platform_.CurrentDirectory();
  BrowseResult listed = current.empty() ? Failure(kestrel::oserr::PathNotFound, "reading", ".") : List(current, &start);
  if (listed.ok()) result.changed |= Commit(std::move(start));

  if (!options_.argument.empty()) {
    const BrowseResult entered = EnterArgument();
    Adopt(&result, entered);
    if (entered.ok()) {
      result.preselected = entered.preselected;
      result.notice = entered.notice;
      return result;
    }
  }
  // Applied as a path: nothing happens when the lists show it already.
  const std::string target = DefaultStart();
  if (!target.empty() && !SamePath(target, directory_, volumeCase_.sensitive)) {
    Adopt(&result, Enter(target));
  } else {
    Adopt(&result, listed);
  }
  return result;
}

DialogResult FileBrowser::Result(bool ok, const std::vector<bool>& selected) const {
  DialogResult result;
  result.ok = ok;
  result.directory = directory_;
  for (size_t i = 0; i < files_.size(); ++i) {
    result.entries.push_back(FileEntry{files_[i], i < selected.size() && selected[i]});
  }
  return result;
}

}  // namespace dbfclean
