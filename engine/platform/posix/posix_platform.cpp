// The platform layer on Linux and other POSIX hosts.
//
// Windows semantics are emulated where the engine depends on them:
// - names resolve without regard to ASCII case, the exact spelling first;
// - share modes are open-file-description locks on a reserved byte far beyond
//   every lock region (exclusive: write lock, shared: read lock; a conflict
//   is 32), which holds between processes and between two opens in one;
// - an open that denies others also makes sure that no other program has the
//   file open or locked at all, and keeps it so: most programs here (a file
//   server, an emulator, an office program, a script) take no lock, so a
//   file lease answers whether anyone else has the file open, and while it
//   is held the system holds up a new opener and tells this process, which
//   gives the file back;
// - byte-range locks are OFD write locks (a conflict is 33, unlocking a
//   region not held is 158);
// - a file without any write permission bit is read-only: opening it for
//   writing and deleting it fail with 5, also for root, as Samba maps it;
// - names starting with a full stop are hidden; directories and anything that
//   is not a regular file are skipped by searches.
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrel/platform.h"

namespace kestrel {
namespace {

// The byte whose lock stands for the share mode. Record locks live below
// 2^32, so this never meets one.
// (Offsets are 64-bit also on 32-bit systems: large-file support is on.)
static_assert(sizeof(off_t) == 8, "build with -D_FILE_OFFSET_BITS=64");
constexpr off_t kShareLockOffset = static_cast<off_t>(1) << 62;

uint16_t MapErrno(int e, uint16_t fallback) {
  switch (e) {
    case ENOENT: return oserr::FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return oserr::PathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return oserr::AccessDenied;
    case EMFILE:
    case ENFILE: return oserr::TooManyOpenFiles;
    case EBADF: return oserr::InvalidHandle;
    case EAGAIN: return oserr::LockViolation;
    default: return fallback;
  }
}

// Finds `name` in `dir` the way a Windows file system would: the exact
// spelling if present, else the first case-insensitive match in byte order.
// Returns the name unchanged when nothing matches.
std::string MatchInDirectory(const std::string& dir, const std::string& name) {
  std::string full = WithinDirectory(dir.empty() ? std::string(".") : dir, name, PathStyle::Posix);
  struct stat st;
  if (lstat(full.c_str(), &st) == 0) return name;
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return name;
  std::string best;
  bool found = false;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (EqualNoCase(n, name) && (!found || n < best)) {
      best = n;
      found = true;
    }
  }
  closedir(d);
  return found ? best : name;
}

// Resolves every component of `path` without regard to case. When the path
// is there as spelled, `*named` (where given) receives what that one look
// saw of it and `*looked` becomes true.
std::string ResolveCase(const std::string& path, struct stat* named = nullptr, bool* looked = nullptr) {
  if (path.empty()) return path;
  // A path that is there as spelled, and has no doubled separator to fold,
  // is its own spelling on disk: one look instead of one per component.
  struct stat st;
  if (path.find("//") == std::string::npos && lstat(path.c_str(), &st) == 0) {
    if (named && looked) {
      *named = st;
      *looked = true;
    }
    return path;
  }
  std::string result = path[0] == '/' ? "/" : "";
  size_t i = path[0] == '/' ? 1 : 0;
  std::string dir = path[0] == '/' ? "/" : "";
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string part = path.substr(i, j - i);
    if (!part.empty()) {
      std::string actual = (part == "." || part == "..") ? part : MatchInDirectory(dir, part);
      if (!result.empty() && result.back() != '/') result += '/';
      result += actual;
      dir = result;
    } else if (j < path.size() && !result.empty() && result.back() != '/') {
      result += '/';
    }
    i = j + 1;
  }
  if (path.size() > 1 && path.back() == '/' && result.back() != '/') result += '/';
  return result;
}

// 2 when the file is missing from an existing directory, 3 when the
// directory itself is missing.
uint16_t MissingCode(const std::string& path) {
  std::string dir = SplitPath(path, PathStyle::Posix).directory;
  if (dir.empty()) dir = ".";
  struct stat st;
  if (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return oserr::FileNotFound;
  return oserr::PathNotFound;
}

bool IsReadOnly(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

// Whether anything (a symbolic link included) has that name.
bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// "/a/b/c/" -> "/a/b" and "c"; "c" -> "" and "c"; "/c" -> "/" and "c".
std::pair<std::string, std::string> SplitAtLastSlash(const std::string& path) {
  PathParts parts = SplitPath(WithoutTrailingSeparator(path, PathStyle::Posix), PathStyle::Posix);
  return {std::move(parts.directory), std::move(parts.name)};
}

// File system kinds by the magic number statfs gives.
namespace fsmagic {
constexpr long Nfs = 0x6969;
constexpr long Smb = 0x517B;
constexpr long Cifs = static_cast<long>(0xFF534D42);
constexpr long Smb2 = static_cast<long>(0xFE534D42);
constexpr long NineP = 0x01021997;
constexpr long Iso9660 = 0x9660;
constexpr long Udf = 0x15013346;
constexpr long Tmpfs = 0x01021994;
constexpr long Ramfs = static_cast<long>(0x858458F6);
constexpr long Fat = 0x4D44;
constexpr long Exfat = 0x2011BAB0;
}  // namespace fsmagic

// A mount point as /proc/self/mounts writes it: blanks, tabs, newlines and
// backslashes as three octal digits after a backslash.
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

// The lock on the share byte that stands for an open's sharing: a write lock
// keeps every other opener out, a read lock only the exclusive ones.
bool TakeShareLock(int fd, short type) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = kShareLockOffset;
  fl.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// The lease signal: the system sends it when another program opens a file
// this process holds a lease on. The open waits until the lease is given
// back (by closing the file), or until the system's time for it runs out.
std::atomic<bool> gGiveBack{false};

void OnLeaseBreak(int) { gGiveBack.store(true); }

// Installed once, before the first lease: the signal's default would end
// the process.
void CatchLeaseBreaks() {
  static const bool installed = [] {
    struct sigaction action = {};
    action.sa_handler = OnLeaseBreak;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGIO, &action, nullptr) == 0;
  }();
  (void)installed;
}

// What /proc/locks tells of the file of `st` before it is opened: whether a
// process holds a lease on it (another dbfclean repairing it, a file
// server's lease for a client), or a flock write lock (a program that holds
// the whole file for itself). Asked before the open, because an open of a
// leased file would itself ask the holder to give it back: a program
// refused here must disturb nobody. One read in the common case.
struct HeldFile {
  bool leased = false;
  bool flocked = false;
};

HeldFile HeldElsewhere(const struct stat& st) {
  HeldFile held;
  const int fd = ::open("/proc/locks", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return held;
  char id[48];
  const int idLength = std::snprintf(id, sizeof id, " %02x:%02x:%llu ", major(st.st_dev), minor(st.st_dev),
                                     static_cast<unsigned long long>(st.st_ino));
  const std::string_view device(id, static_cast<size_t>(idLength));
  std::string text;
  char buffer[16384];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  for (size_t at = 0; (at = text.find(device, at)) != std::string::npos; at += device.size()) {
    const size_t begin = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
    const std::string_view line(text.data() + begin, at - begin);
    if (line.find(" LEASE ") != std::string_view::npos) held.leased = true;
    if (line.find(" FLOCK ") != std::string_view::npos && line.find(" WRITE ") != std::string_view::npos) {
      held.flocked = true;
    }
  }
  return held;
}

// Whether a process other than this descriptor's owner holds an fcntl or
// OFD lock anywhere in the file: record locks at their offsets or at the
// offsets xBase programs lock beyond the data, a whole-file lock.
bool LockedElsewhere(int fd) {
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;  // to the end of every offset
  return fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

// Where a lease cannot be had, why: the open goes on with the lock checks
// only, and the program says so.
std::string LeaseProblem(int e) {
  if (e == EACCES || e == EPERM) return "the file belongs to another user, and leasing it needs CAP_LEASE";
  return "the file system offers no file leases";
}

// The guard an open that denies others puts on its descriptor, or 32 when
// another program has the file open or locked. `lease` is the lease that
// answers the question (F_WRLCK: no other open at all; F_RDLCK: none for
// writing). Once it is held nobody else has the file open, so nobody holds
// a lock on it either; only where no lease can be had are the locks looked
// at one by one, and `flockType` then keeps other flock users out.
uint16_t GuardOpen(int fd, short lease, int flockType, std::string* unchecked) {
  CatchLeaseBreaks();
  if (fcntl(fd, F_SETLEASE, lease) == 0) return 0;
  if (errno == EAGAIN || errno == EBUSY) return oserr::SharingViolation;
  *unchecked = LeaseProblem(errno);
  if (LockedElsewhere(fd)) return oserr::SharingViolation;
  if (flock(fd, flockType | LOCK_NB) != 0) {
    return errno == EWOULDBLOCK ? oserr::SharingViolation : MapErrno(errno, oserr::SharingViolation);
  }
  return 0;
}

class PosixFile : public File {
 public:
  explicit PosixFile(int fd, std::string unchecked = {}) : fd_(fd), unchecked_(std::move(unchecked)) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  uint16_t Seek(uint64_t offset) override {
    if (fd_ < 0) return oserr::InvalidHandle;
    if (offset > static_cast<uint64_t>(INT64_MAX)) return oserr::SeekError;
    pos_ = offset;
    return 0;
  }

  uint16_t Read(void* buffer, size_t count, size_t* got) override {
    *got = 0;
    if (fd_ < 0) return oserr::InvalidHandle;
    auto* p = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
      ssize_t n = ::pread(fd_, p + done, count - done, static_cast<off_t>(pos_ + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return MapErrno(errno, oserr::ReadFault);
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    pos_ += done;
    *got = done;
    return 0;
  }

  uint16_t Write(const void* buffer, size_t count, size_t* written) override {
    *written = 0;
    if (fd_ < 0) return oserr::InvalidHandle;
    const auto* p = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
      ssize_t n = ::pwrite(fd_, p + done, count - done, static_cast<off_t>(pos_ + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) break;  // a short write: the disk is full
        pos_ += done;
        *written = done;
        return MapErrno(errno, oserr::WriteFault);
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    pos_ += done;
    *written = done;
    return 0;
  }

  uint16_t Size(uint64_t* size) override {
    *size = 0;
    if (fd_ < 0) return oserr::InvalidHandle;
    struct stat st;
    if (fstat(fd_, &st) != 0) return MapErrno(errno, oserr::ReadFault);
    *size = static_cast<uint64_t>(st.st_size);
    return 0;
  }

  uint16_t Flush() override {
    if (fd_ < 0) return oserr::InvalidHandle;
    return fsync(fd_) == 0 ? 0 : MapErrno(errno, oserr::WriteFault);
  }

  uint16_t ModifiedTime(FileTime* time) override {
    *time = 0;
    if (fd_ < 0) return oserr::InvalidHandle;
    struct stat st;
    if (fstat(fd_, &st) != 0) return MapErrno(errno, oserr::ReadFault);
    *time = static_cast<FileTime>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return 0;
  }

  uint16_t SetModifiedTime(FileTime time) override {
    if (fd_ < 0) return oserr::InvalidHandle;
    FileTime seconds = time / 1000000000;
    FileTime nanoseconds = time % 1000000000;
    if (nanoseconds < 0) {
      nanoseconds += 1000000000;
      --seconds;
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // the access time stays
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(nanoseconds);
    return futimens(fd_, times) == 0 ? 0 : MapErrno(errno, oserr::AccessDenied);
  }

  bool IsNamedBy(const std::string& path) override {
    if (fd_ < 0) return false;
    struct stat mine, named;
    if (fstat(fd_, &mine) != 0 || lstat(path.c_str(), &named) != 0) return false;
    return mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
  }

  uint16_t LockRegion(uint32_t offset, uint32_t length) override {
    if (fd_ < 0) return oserr::InvalidHandle;
    // Windows refuses a lock that overlaps one the same handle holds.
    for (const auto& r : held_) {
      uint64_t a = r.first, b = r.first + uint64_t(r.second);
      uint64_t c = offset, d = offset + uint64_t(length);
      if (c < b && a < d) return oserr::LockViolation;
    }
    // A zero length would mean "to the end" to fcntl; to Windows it is an
    // empty region, so nothing is locked at the system level.
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    if (length != 0 && fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      return (errno == EAGAIN || errno == EACCES) ? oserr::LockViolation : MapErrno(errno, oserr::LockViolation);
    }
    held_.emplace_back(offset, length);
    return 0;
  }

  uint16_t UnlockRegion(uint32_t offset, uint32_t length) override {
    if (fd_ < 0) return oserr::InvalidHandle;
    auto it = std::find(held_.begin(), held_.end(), std::make_pair(offset, length));
    if (it == held_.end()) return oserr::NotLocked;
    struct flock fl = {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    if (length != 0 && fcntl(fd_, F_OFD_SETLK, &fl) != 0) return MapErrno(errno, oserr::NotLocked);
    held_.erase(it);
    return 0;
  }

  uint16_t Close() override {
    if (fd_ < 0) return oserr::InvalidHandle;
    int rc = ::close(fd_);
    fd_ = -1;
    held_.clear();
    return rc == 0 ? 0 : MapErrno(errno, oserr::WriteFault);
  }

  std::string UncheckedSharing() override { return unchecked_; }

 private:
  int fd_;
  std::string unchecked_;
  uint64_t pos_ = 0;
  std::vector<std::pair<uint32_t, uint32_t>> held_;
};

class PosixSearch : public DirSearch {
 public:
  explicit PosixSearch(std::vector<FoundFile> rest) : rest_(std::move(rest)) {}
  int32_t Next(FoundFile* found) override {
    if (next_ >= rest_.size()) return oserr::NoMoreFiles;
    *found = rest_[next_++];
    return 0;
  }

 private:
  std::vector<FoundFile> rest_;
  size_t next_ = 0;
};

// Stop requests: the flag and the first signal, written by the handler.
std::atomic<bool> gStopRequested{false};
std::atomic<int> gStopSignal{0};
constexpr int kStopSignals[] = {SIGINT, SIGHUP, SIGTERM};
struct sigaction gPrevious[3];
struct sigaction gPreviousPipe;

void OnStopSignal(int signal) {
  int none = 0;
  gStopSignal.compare_exchange_strong(none, signal);
  gStopRequested.store(true);
  // The next request of any kind ends the process the usual way.
  struct sigaction plain = {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  for (int s : kStopSignals) sigaction(s, &plain, nullptr);
}

class PosixPlatform : public Platform {
 public:
  PosixPlatform() {
    ctype_ = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (!ctype_) ctype_ = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  }
  ~PosixPlatform() override {
    if (ctype_) freelocale(ctype_);
  }

  uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<File>* file) override {
    file->reset();
    if (path.empty()) return oserr::PathNotFound;
    struct stat st;
    bool looked = false;
    std::string actual = ResolveCase(path, &st, &looked);
    // A name that is no link is the file itself: the look that found it
    // tells what a second look would (one call less for every table opened).
    if (!looked || S_ISLNK(st.st_mode)) {
      if (stat(actual.c_str(), &st) != 0)
        return errno == ENOENT ? MissingCode(actual) : MapErrno(errno, oserr::AccessDenied);
    }
    if (!S_ISREG(st.st_mode)) return oserr::AccessDenied;
    const int access = mode & 3;
    const bool wantsWrite = access != 0;
    if (wantsWrite && IsReadOnly(st)) return oserr::AccessDenied;
    const int sharing = mode & 0x70;
    const bool sharesAll = sharing == openmode::DenyNone || sharing == openmode::Compatibility;
    // Sharing with everyone, an open is kept out only by a program that
    // holds the whole file for itself.
    const HeldFile held = HeldElsewhere(st);
    if (held.leased || (sharesAll && held.flocked)) return oserr::SharingViolation;
    int flags = access == 0 ? O_RDONLY : (access == 1 ? O_WRONLY : O_RDWR);
    // Non-blocking: a lease taken meanwhile refuses the open at once instead
    // of holding it up (regular files know no other use of the flag).
    int fd = ::open(actual.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      if (errno == EWOULDBLOCK) return oserr::SharingViolation;
      return errno == ENOENT ? MissingCode(actual) : MapErrno(errno, oserr::AccessDenied);
    }
    // Anything short of "others may read and write" keeps every other
    // read-write opener out, so it takes the share byte for writing.
    const short lock = sharesAll ? F_RDLCK : F_WRLCK;
    // (A read lock needs a descriptor open for reading; write-only opens are
    // not made by the engine, so they go unguarded.)
    if (!(access == 1 && lock == F_RDLCK) && !TakeShareLock(fd, lock)) {
      const int e = errno;
      ::close(fd);
      return (e == EAGAIN || e == EACCES) ? oserr::SharingViolation : MapErrno(e, oserr::SharingViolation);
    }
    std::string unchecked;
    uint16_t rc = 0;
    if (!sharesAll) {
      // Deny-write keeps out other writers only: a read lease is refused
      // while anyone has the file open for writing (it needs a descriptor
      // that only reads); deny-read and deny-all keep out every other open.
      const bool othersRead = sharing == openmode::DenyWrite;
      const short lease = othersRead && access == 0 ? F_RDLCK : F_WRLCK;
      rc = GuardOpen(fd, lease, othersRead ? LOCK_SH : LOCK_EX, &unchecked);
    }
    if (rc != 0) {
      ::close(fd);
      return rc;
    }
    *file = std::make_unique<PosixFile>(fd, std::move(unchecked));
    return 0;
  }

  uint16_t FileInUse(const std::string& path) override {
    if (path.empty()) return oserr::PathNotFound;
    const std::string actual = ResolveCase(path);
    struct stat st;
    if (stat(actual.c_str(), &st) != 0)
      return errno == ENOENT ? MissingCode(actual) : MapErrno(errno, oserr::AccessDenied);
    if (!S_ISREG(st.st_mode)) return 0;
    if (HeldElsewhere(st).leased) return oserr::SharingViolation;
    const int fd = ::open(actual.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == EWOULDBLOCK ? oserr::SharingViolation : 0;
    std::string unchecked;
    uint16_t rc = GuardOpen(fd, F_WRLCK, LOCK_EX, &unchecked);
    if (rc == 0 && unchecked.empty()) fcntl(fd, F_SETLEASE, F_UNLCK);
    ::close(fd);
    return rc;
  }

  std::atomic<bool>* GiveBackRequests() override { return &gGiveBack; }

  uint16_t RemoveFile(const std::string& path) override {
    if (path.empty()) return oserr::PathNotFound;
    std::string actual = ResolveCase(path);
    struct stat st;
    if (lstat(actual.c_str(), &st) != 0)
      return errno == ENOENT ? MissingCode(actual) : MapErrno(errno, oserr::AccessDenied);
    if (S_ISDIR(st.st_mode)) return oserr::AccessDenied;
    if (S_ISREG(st.st_mode) && IsReadOnly(st)) return oserr::AccessDenied;
    if (S_ISREG(st.st_mode) && FileInUse(actual) == oserr::SharingViolation) return oserr::SharingViolation;
    if (::unlink(actual.c_str()) != 0)
      return errno == ENOENT ? MissingCode(actual) : MapErrno(errno, oserr::AccessDenied);
    return 0;
  }

  uint16_t CreateNewFile(const std::string& path, std::unique_ptr<File>* file) override {
    file->reset();
    if (path.empty()) return oserr::PathNotFound;
    // A name that differs only in case is the same name where the tables
    // come from, so it counts as there.
    const auto [dir, name] = SplitAtLastSlash(ResolveCase(path));
    if (name.empty()) return oserr::AccessDenied;
    const std::string target = WithinDirectory(dir, name, PathStyle::Posix);
    if (MatchInDirectory(dir, name) != name || Exists(target)) return oserr::FileExists;
    // O_EXCL never follows a symbolic link at the name, not even one that
    // leads nowhere: the file made is a new one, right here.
    const int fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST || errno == ELOOP) return oserr::FileExists;
      return errno == ENOENT ? oserr::PathNotFound : MapErrno(errno, oserr::AccessDenied);
    }
    // Shared with nobody, as an exclusive open.
    if (!TakeShareLock(fd, F_WRLCK)) {
      ::close(fd);
      return oserr::SharingViolation;
    }
    *file = std::make_unique<PosixFile>(fd);
    return 0;
  }

  uint16_t MakeDirectory(const std::string& path) override {
    if (path.empty()) return oserr::PathNotFound;
    const auto [dir, name] = SplitAtLastSlash(ResolveCase(path));
    if (name.empty()) return oserr::AlreadyExists;  // "/" and the like
    const std::string target = WithinDirectory(dir, name, PathStyle::Posix);
    if (MatchInDirectory(dir, name) != name || Exists(target)) return oserr::AlreadyExists;
    if (::mkdir(target.c_str(), 0777) != 0) {
      if (errno == EEXIST) return oserr::AlreadyExists;
      return errno == ENOENT ? oserr::PathNotFound : MapErrno(errno, oserr::AccessDenied);
    }
    return 0;
  }

  uint16_t FlushDirectory(const std::string& path) override {
    const int fd = ::open(ResolveCase(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? oserr::PathNotFound : MapErrno(errno, oserr::AccessDenied);
    const int rc = fsync(fd);
    const int e = errno;
    ::close(fd);
    return rc == 0 ? 0 : MapErrno(e, oserr::WriteFault);
  }

  uint16_t RenameNoReplace(const std::string& from, const std::string& to) override {
    if (from.empty() || to.empty()) return oserr::PathNotFound;
    const std::string source = ResolveCase(from);
    // A name that differs only in case is taken, as CreateNewFile counts it.
    const auto [dir, name] = SplitAtLastSlash(ResolveCase(to));
    if (name.empty()) return oserr::AccessDenied;
    const std::string target = WithinDirectory(dir, name, PathStyle::Posix);
    if (MatchInDirectory(dir, name) != name) return oserr::FileExists;
    int rc = ::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the flag: a hard link never replaces a name
      // either, and the old name goes once the new one is there.
      rc = ::link(source.c_str(), target.c_str());
      if (rc == 0) ::unlink(source.c_str());
    }
    if (rc == 0) return 0;
    if (errno == EEXIST) return oserr::FileExists;
    return errno == ENOENT ? MissingCode(source) : MapErrno(errno, oserr::AccessDenied);
  }

  std::string PathOnDisk(const std::string& path) override { return ResolveCase(path); }

  int32_t FindFirst(const std::string& pattern, uint32_t attributes, std::unique_ptr<DirSearch>* search,
                    FoundFile* found) override {
    search->reset();
    auto [dir, mask] = SplitPath(pattern, PathStyle::Posix);
    if (dir.empty()) dir = ".";
    dir = ResolveCase(dir);
    DIR* d = opendir(dir.c_str());
    // A directory that is there but may not be read is told apart from one
    // that is missing, as Windows tells them apart.
    if (!d) return errno == EACCES || errno == EPERM ? oserr::AccessDenied : oserr::PathNotFound;
    const uint32_t excluded = ~attributes & (attr::Hidden | attr::System | attr::VolumeId | attr::Directory);
    std::vector<FoundFile> matches;
    bool anyName = false;
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      if (!MaskMatches(mask, name)) continue;
      anyName = true;
      struct stat st;
      std::string full = WithinDirectory(dir, name, PathStyle::Posix);
      if (stat(full.c_str(), &st) != 0) continue;
      FoundFile f;
      f.name = name;
      f.size = static_cast<uint64_t>(st.st_size);
      if (S_ISDIR(st.st_mode)) {
        f.attributes |= attr::Directory;
      } else if (S_ISREG(st.st_mode)) {
        f.attributes |= attr::Archive;
      } else {
        continue;  // devices, sockets and pipes are no files to a Windows program
      }
      if (name[0] == '.') f.attributes |= attr::Hidden;
      // The type readdir gives spares a second look at most entries.
      struct stat link;
      if (e->d_type == DT_LNK ||
          (e->d_type == DT_UNKNOWN && lstat(full.c_str(), &link) == 0 && S_ISLNK(link.st_mode))) {
        f.attributes |= attr::Link;
      }
      if (IsReadOnly(st)) f.attributes |= attr::ReadOnly;
      if (f.attributes & excluded) continue;
      matches.push_back(std::move(f));
    }
    closedir(d);
    if (!anyName) return oserr::FileNotFound;
    if (matches.empty()) return oserr::NoMoreFiles;
    std::sort(matches.begin(), matches.end(), [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });
    *found = matches.front();
    matches.erase(matches.begin());
    *search = std::make_unique<PosixSearch>(std::move(matches));
    return 0;
  }

  std::string FullPath(const std::string& path) override {
    if (path.empty() || path[0] != '/') {
      // A relative name needs the current directory; one that is gone or
      // cannot be read gives no full path, rather than a path under "/".
      const std::string current = CurrentDirectory();
      if (current.empty()) return std::string();
      return ResolveFullPath(path, current, PathStyle::Posix);
    }
    return ResolveFullPath(path, "/", PathStyle::Posix);
  }

  std::string CurrentDirectory() override {
    std::vector<char> buf(4096);
    if (!getcwd(buf.data(), buf.size())) return std::string();
    return buf.data();
  }

  uint16_t ChangeDirectory(const std::string& path) override {
    std::string actual = ResolveCase(path);
    if (chdir(actual.c_str()) != 0) return errno == ENOENT ? oserr::PathNotFound : MapErrno(errno, oserr::PathNotFound);
    return 0;
  }

  void OemToAnsi(uint8_t* bytes, size_t count) override {
    for (size_t i = 0; i < count; ++i) bytes[i] = kOem437ToAnsi1252[bytes[i]];
  }

  void UpperBytes(char* bytes, size_t count) override {
    for (size_t i = 0; i < count; ++i) {
      bytes[i] = static_cast<char>(toupper_l(static_cast<unsigned char>(bytes[i]), ctype_));
    }
  }

  bool IsLetter(uint8_t c) override { return isalpha_l(c, ctype_) != 0; }

  uint16_t UserLanguage() override {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* v = std::getenv(var);
      if (v && *v) return LanguageFromLocaleName(v);
    }
    return LanguageFromLocaleName("");
  }

  void ShowHaltBox(const std::string& text, const std::string& caption) override {
    // Without a window system the box is the standard error stream.
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), WithNewlines(text).c_str());
    std::fflush(stderr);
  }

  [[noreturn]] void ExitProcess(int code) override {
    std::fflush(nullptr);
    std::exit(ExitStatusOf(code));
  }

  const std::atomic<bool>* CatchStopRequests() override {
    gStopRequested.store(false);
    gStopSignal.store(0);
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int s : kStopSignals) sigaddset(&action.sa_mask, s);
    // A call the signal meets goes on (a progress line half written to a
    // terminal is not lost).
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &action, &gPrevious[i]);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &gPreviousPipe);
    return &gStopRequested;
  }

  int StopRequestStatus() override {
    const int signal = gStopSignal.load();
    return signal == 0 ? 0 : 128 + signal;
  }

  void ReleaseStopRequests() override {
    for (size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &gPrevious[i], nullptr);
    sigaction(SIGPIPE, &gPreviousPipe, nullptr);
  }

  bool IsTerminal(int stream) override { return isatty(stream) == 1; }

  uint32_t LogicalDrives() override { return 0; }

  DriveType DriveTypeOf(const std::string& root) override {
    struct stat st;
    if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return DriveType::NoRootDirectory;
    struct statfs fs;
    if (statfs(root.c_str(), &fs) != 0) return DriveType::Unknown;
    switch (static_cast<long>(fs.f_type)) {
      case fsmagic::Nfs:
      case fsmagic::Smb:
      case fsmagic::Cifs:
      case fsmagic::Smb2:
      case fsmagic::NineP: return DriveType::Remote;
      case fsmagic::Iso9660:
      case fsmagic::Udf: return DriveType::CdRom;
      case fsmagic::Tmpfs:
      case fsmagic::Ramfs: return DriveType::RamDisk;
      default: return DriveType::Fixed;
    }
  }

  uint16_t VolumeInformation(const std::string& root, VolumeInfo* info) override {
    *info = VolumeInfo{};
    struct statfs fs;
    if (statfs(root.c_str(), &fs) != 0) return MapErrno(errno, oserr::PathNotFound);
    const long type = static_cast<long>(fs.f_type);
    info->caseSensitive = type != fsmagic::Fat && type != fsmagic::Exfat;
    return 0;
  }

  uint16_t NetworkConnection(const std::string& drive, std::string* remote) override {
    remote->clear();
    std::ifstream mounts("/proc/self/mounts");
    if (!mounts) return oserr::NotConnected;
    const std::string wanted = WithoutTrailingSeparator(drive, PathStyle::Posix);
    std::string source, point, type, rest;
    while (mounts >> source >> point >> type && std::getline(mounts, rest)) {
      if (UnescapeMountField(point) != wanted) continue;
      static const char* const kNetwork[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs", "fuse.sshfs", "9p"};
      const bool network = std::find(std::begin(kNetwork), std::end(kNetwork), type) != std::end(kNetwork);
      // The last mount at a place is the one seen there.
      *remote = network ? UnescapeMountField(source) : std::string();
    }
    return remote->empty() ? oserr::NotConnected : 0;
  }

 private:
  locale_t ctype_ = static_cast<locale_t>(nullptr);
};

}  // namespace

Platform& Platform::Default() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace kestrel
