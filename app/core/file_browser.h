// The selection dialog's three linked controls -- the drive box, the
// directory list and the file list -- and the edit box that names the
// directory, as one model without any toolkit. It changes the process's
// current directory and lists directories through the platform only. Each
// operation either completes or leaves the state and the current directory
// as they were, and says what changed or, on failure, names it in one text.
// The desktop programs draw the state, forward the user's acts, and show a
// failure in a box.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dialog_model.h"
#include "kestrel/platform.h"
#include "run.h"

namespace dbfclean {

// How a volume treats the case of names.
struct VolumeCase {
  bool sensitive = true;   // "a" and "A" are two names
  bool preserving = true;  // names keep the case they were made with
};

// What the browser asks of the system about drives; enumerating drives
// (Windows) or mounted volumes (Linux) is the desktop program's.
class DriveSource {
 public:
  virtual ~DriveSource() = default;
  // The drive box's entries, in the order shown.
  virtual std::vector<DriveEntry> Entries() = 0;
  // The case rules of the volume that holds `directory`.
  virtual VolumeCase CaseOf(const std::string& directory) = 0;
};

// What an operation changed, as bits of BrowseResult::changed.
namespace changed {
constexpr unsigned Drives = 1;       // the drive box's entries
constexpr unsigned Drive = 2;        // the entry the drive box shows
constexpr unsigned Directories = 4;  // the directory list's items
constexpr unsigned Files = 8;        // the file list's names
constexpr unsigned EditText = 16;    // the edit box's text
}  // namespace changed

struct BrowseResult {
  unsigned changed = 0;
  std::string error;     // empty when the operation completed
  uint16_t code = 0;     // the system's error number of a failure
  int preselected = -1;  // after FormCreate: the file list entry of the table given to the program
  // After FormCreate, when the file given to the program is not one the file
  // list offers (hidden, or not a table): the word the dialog shows for it.
  std::string notice;
  bool ok() const { return error.empty(); }
};

class FileBrowser {
 public:
  struct Options {
    kestrel::PathStyle style = kestrel::HostPathStyle();
    // The program's directory with its trailing separator: closing the
    // dialog makes it current again, and on Windows the dialog opens there.
    std::string programDir;
    // The program's argument: a directory, or the path of a table whose
    // directory opens with the table selected. Empty: none.
    std::string argument;
    // Called with true when a long file list is being read (the busy cursor
    // goes on), and with false when that reading is over.
    std::function<void(bool busy)> busy;
  };

  FileBrowser(kestrel::Platform& platform, DriveSource& drives, Options options);

  // When the dialog is created: the lists start on the process's current
  // directory, then go to the argument's directory, or without one (or when
  // it cannot be entered) to the program's directory on Windows and the
  // current directory elsewhere. A failure names the first thing that went
  // wrong; the lists then show the directory they could.
  BrowseResult FormCreate();
  // Opening a directory item (double-click or Enter).
  BrowseResult OpenItem(int index);
  // Choosing an entry of the drive box. A failure asks for the drive box to
  // be drawn again, as it shows the entry the user picked.
  BrowseResult ChooseDrive(int index);
  // When the dialog closes: the program's directory becomes current again.
  BrowseResult FormClose();

  // What the run reads: the directory list's directory and the file list's
  // names, each with the selected flag the view holds for it.
  DialogResult Result(bool ok, const std::vector<bool>& selected) const;

  const std::vector<DriveEntry>& Drives() const { return drives_; }
  int DriveIndex() const;  // the entry holding the directory; -1 when none does
  const std::string& Directory() const { return directory_; }
  const std::vector<DirItem>& Items() const { return items_; }
  const std::vector<std::string>& Files() const { return files_; }  // names as the file system has them
  const std::string& EditText() const { return editText_; }

 private:
  struct Listing;
  // The subdirectories and the tables of `directory`, the current one.
  BrowseResult List(const std::string& directory, Listing* listing);
  // Enters `path` and lists it; on failure the current directory goes back
  // to the one the lists show.
  BrowseResult Load(const std::string& path, Listing* listing);
  unsigned Commit(Listing&& listing);
  BrowseResult Enter(const std::string& path);
  BrowseResult EnterArgument();
  std::string DefaultStart();

  kestrel::Platform& platform_;
  DriveSource& source_;
  Options options_;
  std::vector<DriveEntry> drives_;
  std::string directory_;
  VolumeCase volumeCase_;
  std::vector<DirItem> items_;
  std::vector<std::string> files_;
  std::string editText_;
};

}  // namespace dbfclean
