// dbfclean-cli --backup: copies through the engine's platform, so that a
// test platform's failures reach them as they reach the repair.
#include "backup.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "kestrel/engine.h"
#include "run.h"

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace dbfclean {

namespace {

// Creates an empty file that was not there; false with errno set otherwise
// (EEXIST when a file of that name exists). The platform opens only files
// that exist, and no check-then-create could keep a file that appears
// meanwhile from being replaced.
bool CreateNew(const std::string& path) {
#ifdef _WIN32
  const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  _close(fd);
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
#endif
  return true;
}

// "Error # 101 (Disk write error ...)": the engine's words for the number.
std::string Reason(uint16_t code) { return kestrel::Engine::ErrorMessage(code); }

}  // namespace

WatchedFile::WatchedFile(std::unique_ptr<kestrel::File> inner, WatchedFile** slot)
    : inner_(std::move(inner)), slot_(slot) {
  *slot_ = this;
}

WatchedFile::~WatchedFile() {
  if (*slot_ == this) *slot_ = nullptr;
}

uint16_t WatchedFile::Seek(uint64_t offset) {
  const uint16_t rc = inner_->Seek(offset);
  if (rc == 0) position_ = offset;
  return rc;
}

uint16_t WatchedFile::Read(void* buffer, size_t count, size_t* got) {
  const uint16_t rc = inner_->Read(buffer, count, got);
  position_ += *got;
  return rc;
}

uint16_t WatchedFile::Write(const void* buffer, size_t count, size_t* written) {
  const uint16_t rc = inner_->Write(buffer, count, written);
  position_ += *written;
  return rc;
}

Backup::Backup(kestrel::Platform& platform, std::string directory)
    : platform_(platform), directory_(std::move(directory)) {}

void Backup::SaveTable(WatchedFile* file, const std::string& tableDir, const std::string& name) {
  const std::string what =
      "changing " + name + " (tables cleaned before it keep their repairs; no index file was erased)";
  if (!file) throw RunHalted("cannot back up " + name + ": the table is not open; stopped before " + what, 70);
  Copy(file->inner(), JoinPath(tableDir, name), name, what);
  // The engine goes on where it was, as if nothing had read in between.
  const uint16_t rc = file->RestorePosition();
  if (rc != 0) {
    throw RunHalted("cannot go on with " + name + " after its backup: " + Reason(rc) + "; stopped before " + what,
                    kExitBackupIo);
  }
}

void Backup::SaveIndex(const std::string& dir, const std::string& name) {
  const std::string source = JoinPath(dir, name);
  const std::string what = "erasing " + name + " (the tables keep their repairs)";
  std::unique_ptr<kestrel::File> from;
  // Read access, sharing everything: a read-only index file is copied too.
  const uint16_t rc = platform_.OpenFile(source, 0x40, &from);
  if (rc != 0) {
    throw RunHalted("cannot back up " + source + ": " + Reason(rc) + "; stopped before " + what, kExitBackupIo);
  }
  Copy(*from, source, name, what);
  from->Close();
}

void Backup::Copy(kestrel::File& from, const std::string& source, const std::string& name, const std::string& what) {
  const std::string stopped = "; stopped before " + what;
  std::error_code ec;
  std::filesystem::create_directories(directory_, ec);
  if (ec) {
    throw RunHalted("cannot create the backup directory " + directory_ + ": " + ec.message() + stopped,
                    kExitCannotCreate);
  }
  const std::string target = JoinPath(directory_, name);
  if (!CreateNew(target)) {
    if (errno == EEXIST) {
      throw RunHalted("the backup " + target + " exists already, and a backup never replaces a file" + stopped,
                      kExitCannotCreate);
    }
    throw RunHalted("cannot create the backup " + target + ": " + std::strerror(errno) + stopped, kExitCannotCreate);
  }

  std::unique_ptr<kestrel::File> to;
  uint16_t rc = platform_.OpenFile(target, 0x12, &to);
  uint64_t size = 0;
  if (rc == 0) rc = from.Size(&size);
  std::vector<char> buffer(256 * 1024);  // memory stays flat in the table's size
  bool shortFile = false;
  for (uint64_t at = 0; rc == 0 && at < size;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - at));
    size_t got = 0;
    size_t written = 0;
    rc = from.Seek(at);
    if (rc == 0) rc = from.Read(buffer.data(), want, &got);
    if (rc == 0 && got == 0) shortFile = true;
    if (rc == 0 && got == 0) break;
    if (rc == 0) rc = to->Write(buffer.data(), got, &written);
    // A short count without an error number is a full device.
    if (rc == 0 && written < got) rc = kestrel::oserr::DiskWriteError;
    at += got;
  }
  if (to) {
    const uint16_t closed = to->Close();
    if (rc == 0) rc = closed;
  }
  if (rc != 0 || shortFile) {
    // A partial copy is no backup, and would stand in the way of the next.
    std::filesystem::remove(target, ec);
    const std::string why = shortFile ? std::string("the file ended before its size") : Reason(rc);
    throw RunHalted("cannot back up " + source + " to " + target + ": " + why + stopped, kExitBackupIo);
  }
  // The copy carries the original's time, so that it shows when the table
  // was last written by its application.
  const auto written = std::filesystem::last_write_time(source, ec);
  if (!ec) std::filesystem::last_write_time(target, written, ec);
}

}  // namespace dbfclean
