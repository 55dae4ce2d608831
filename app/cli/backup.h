// dbfclean-cli --backup: a copy of each table taken just before its first
// byte is changed, and of the index files before any is erased. A copy never
// replaces a file, never follows a symbolic link at its name, is whole or
// absent under its name after any crash, and is on the disk before the
// original is touched; a copy that cannot be made whole stops the run before
// the original is touched. A copy already there that is the original (a run
// cut short took it) is kept, so the same command finishes the job.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "kestrel/engine.h"
#include "kestrel/platform.h"

namespace dbfclean {

// Exit statuses of a backup that cannot be taken: its file exists already or
// cannot be created (EX_CANTCREAT), or a write to it failed (EX_IOERR).
constexpr int kExitCannotCreate = 73;
constexpr int kExitBackupIo = 74;

// Where a table's records and their fields lie: inField[i] for byte i of a
// record.
struct TableLayout {
  uint64_t headerLength = 0;
  uint64_t recordLength = 0;
  uint64_t records = 0;
  std::vector<bool> inField;
  // The header's record count, which may differ from the copy's (see
  // Backup::CountsMayDiffer); none when countSize is 0.
  uint64_t countFrom = 0;
  uint64_t countSize = 0;
};

class Backup {
 public:
  // Copies go into `directory`, which is made (with its parents) when the
  // first is taken. Everything goes through `platform`.
  Backup(kestrel::Platform& platform, std::string directory);

  // The table `name` of `tableDir`, open in `engine`'s current work area,
  // read through the engine's own handle. `stopped` ends the message of a
  // failure ("; stopped before ..."). Throws RunHalted.
  void SaveTable(kestrel::Engine& engine, const std::string& tableDir, const std::string& name,
                 const std::string& stopped);
  // The table `name` of `tableDir` while it is not open (before its record
  // count is fixed), read through the platform. Throws RunHalted.
  void SaveTableFile(const std::string& tableDir, const std::string& name, const std::string& stopped);
  // With --fix-count: a copy already there is also the original when the
  // table's record count differs from the copy's (a run cut short after
  // fixing the count).
  void CountsMayDiffer(bool may) { countsMayDiffer_ = may; }
  // The index files `names` of `dir`, every one before any is erased.
  // Throws RunHalted.
  void SaveIndexes(const std::string& dir, const std::vector<std::string>& names, const std::string& stopped);

 private:
  void MakeDirectory(const std::string& stopped);
  // The file `name` of `dir`, read through the platform.
  void SaveFile(const std::string& dir, const std::string& name, const std::string& stopped);
  // A new file `name` in the backup directory, filled by `copy` through the
  // descriptor its creation gave and flushed under a hidden name, then
  // named. A file of that name there already that `copy` finds to be the
  // original (a table's `layout`: its repaired blanks were NULs) is kept.
  void Save(const std::string& source, const std::string& name, const std::string& stopped,
            const std::function<uint16_t(kestrel::File& to)>& copy, const TableLayout* layout);

  kestrel::Platform& platform_;
  std::string directory_;
  bool made_ = false;
  bool countsMayDiffer_ = false;
};

}  // namespace dbfclean
