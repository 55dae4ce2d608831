// dbfclean-cli --backup: a copy of each table taken just before its first
// byte is changed, and of each index file just before it is erased. A copy
// never replaces a file of its name; a copy that cannot be made completely
// stops the run before the original is touched.
#pragma once

#include <memory>
#include <string>

#include "kestrel/platform.h"

namespace dbfclean {

// Exit statuses of a backup that cannot be taken: its file exists already or
// cannot be created (EX_CANTCREAT), or a write to it failed (EX_IOERR).
constexpr int kExitCannotCreate = 73;
constexpr int kExitBackupIo = 74;

// A file the engine opened, passed through, remembering where the engine
// left its position: the copy of a table reads through the engine's own
// handle (an exclusive open keeps every other one out, on both systems) and
// puts the position back afterwards.
class WatchedFile : public kestrel::File {
 public:
  WatchedFile(std::unique_ptr<kestrel::File> inner, WatchedFile** slot);
  ~WatchedFile() override;
  kestrel::File& inner() { return *inner_; }
  uint16_t RestorePosition() { return inner_->Seek(position_); }

  uint16_t Seek(uint64_t offset) override;
  uint16_t Read(void* buffer, size_t count, size_t* got) override;
  uint16_t Write(const void* buffer, size_t count, size_t* written) override;
  uint16_t Size(uint64_t* size) override { return inner_->Size(size); }
  uint16_t LockRegion(uint32_t offset, uint32_t length) override { return inner_->LockRegion(offset, length); }
  uint16_t UnlockRegion(uint32_t offset, uint32_t length) override { return inner_->UnlockRegion(offset, length); }
  uint16_t Close() override { return inner_->Close(); }

 private:
  std::unique_ptr<kestrel::File> inner_;
  WatchedFile** slot_;
  uint64_t position_ = 0;
};

class Backup {
 public:
  // Copies go into `directory`, which is created when the first is taken.
  // Files are written through `platform`.
  Backup(kestrel::Platform& platform, std::string directory);

  // The table `name` of `tableDir`, read through the engine's open `file`.
  // Throws RunHalted when the copy cannot be taken whole.
  void SaveTable(WatchedFile* file, const std::string& tableDir, const std::string& name);
  // The index file `name` of `dir`, before it is erased. Throws RunHalted.
  void SaveIndex(const std::string& dir, const std::string& name);

 private:
  // Copies everything `from` holds into a new file `name` of the backup
  // directory; `what` ends the message of a failure.
  void Copy(kestrel::File& from, const std::string& source, const std::string& name, const std::string& what);

  kestrel::Platform& platform_;
  std::string directory_;
};

}  // namespace dbfclean
