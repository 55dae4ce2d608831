// The platform layer on Windows: the engine's file, lock, search, path,
// character, language and halting calls mapped onto the Win32 ANSI API.
//
// Results are GetLastError's numbers cut to their low 16 bits, which are
// the numbers the engine's messages know (2, 3, 5, 32, 33, 158, ...). Only
// the platform layer includes system headers: the desktop program's window
// code includes <windows.h> for its windows, never for a file.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
// after windows.h, which it needs
#include <winnetwk.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <utility>

#include "kestrel/platform.h"

namespace kestrel {
namespace {

uint16_t LastError() { return static_cast<uint16_t>(GetLastError() & 0xFFFF); }

// FILETIME counts 100-nanosecond ticks from 1601; FileTime nanoseconds from 1970.
constexpr int64_t kTicksTo1970 = 116444736000000000LL;

FileTime FromFiletime(const FILETIME& ft) {
  const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  return (ticks - kTicksTo1970) * 100;
}

FILETIME ToFiletime(FileTime time) {
  const auto ticks = static_cast<uint64_t>(time / 100 + kTicksTo1970);
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

// ReadFile and WriteFile take 32-bit counts; larger requests go in pieces.
constexpr size_t kMaxChunk = 1u << 30;

class Win32File : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }

  uint16_t Seek(uint64_t offset) override {
    if (handle_ == INVALID_HANDLE_VALUE) return oserr::InvalidHandle;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN)) return LastError();
    return 0;
  }

  uint16_t Read(void* buffer, size_t count, size_t* got) override {
    *got = 0;
    if (handle_ == INVALID_HANDLE_VALUE) return oserr::InvalidHandle;
    auto* p = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
      DWORD n = 0;
      const auto ask = static_cast<DWORD>(std::min(count - done, kMaxChunk));
      if (!ReadFile(handle_, p + done, ask, &n, nullptr)) return LastError();
      if (n == 0) break;  // end of file
      done += n;
    }
    *got = done;
    return 0;
  }

  uint16_t Write(const void* buffer, size_t count, size_t* written) override {
    *written = 0;
    if (handle_ == INVALID_HANDLE_VALUE) return oserr::InvalidHandle;
    const auto* p = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
      DWORD n = 0;
      const auto ask = static_cast<DWORD>(std::min(count - done, kMaxChunk));
      if (!WriteFile(handle_, p + done, ask, &n, nullptr)) {
        const DWORD e = GetLastError();
        // A full disk is a short count, which the engine turns into its
        // "Disk write error (probable cause: Disk Full)." report.
        if (e == ERROR_DISK_FULL || e == ERROR_HANDLE_DISK_FULL) break;
        *written = done;
        return static_cast<uint16_t>(e & 0xFFFF);
      }
      if (n == 0) break;
      done += n;
    }
    *written = done;
    return 0;
  }

  uint16_t Size(uint64_t* size) override {
    *size = 0;
    if (handle_ == INVALID_HANDLE_VALUE) return oserr::InvalidHandle;
    LARGE_INTEGER li;
    if (!GetFileSizeEx(handle_, &li)) return LastError();
    *size = static_cast<uint64_t>(li.QuadPart);
    return 0;
  }

  // The engine passes 0 as the upper halves: lock positions are 32-bit.
  uint16_t LockRegion(uint32_t offset, uint32_t length) override {
    if (handle_ == INVALID_HANDLE_VALUE) return oserr::InvalidHandle;
    if (!LockFile(handle_, offset, 0, length, 0)) return LastError();
    return 0;
  }

  uint16_t UnlockRegion(uint32_t offset, uint32_t length) override {
    if (handle_ == INVALID_HANDLE_VALUE) return oserr::InvalidHandle;
    if (!UnlockFile(handle_, offset, 0, length, 0)) {
      // Windows says 158 for a region this handle does not hold; Wine says
      // 33, which an unlock cannot otherwise give.
      const uint16_t e = LastError();
      return e == oserr::LockViolation ? oserr::NotLocked : e;
    }
    return 0;
  }

  uint16_t Flush() override {
    if (handle_ == INVALID_HANDLE_VALUE) return oserr::InvalidHandle;
    return FlushFileBuffers(handle_) ? 0 : LastError();
  }

  uint16_t ModifiedTime(FileTime* time) override {
    *time = 0;
    if (handle_ == INVALID_HANDLE_VALUE) return oserr::InvalidHandle;
    FILETIME written;
    if (!GetFileTime(handle_, nullptr, nullptr, &written)) return LastError();
    *time = FromFiletime(written);
    return 0;
  }

  uint16_t SetModifiedTime(FileTime time) override {
    if (handle_ == INVALID_HANDLE_VALUE) return oserr::InvalidHandle;
    const FILETIME written = ToFiletime(time);
    return SetFileTime(handle_, nullptr, nullptr, &written) ? 0 : LastError();
  }

  bool IsNamedBy(const std::string& path) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    // Opened without any access, as the reparse point itself when it is one.
    HANDLE named = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a, b;
    const bool same = GetFileInformationByHandle(handle_, &a) && GetFileInformationByHandle(named, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                      a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(named);
    return same;
  }

  uint16_t Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return oserr::InvalidHandle;
    HANDLE h = std::exchange(handle_, INVALID_HANDLE_VALUE);
    return CloseHandle(h) ? 0 : LastError();
  }

 private:
  HANDLE handle_;
};

static_assert(FILE_ATTRIBUTE_REPARSE_POINT == attr::Link, "the attribute bits are Windows' own");

// Entries carrying one of these attributes are left out unless asked for.
constexpr uint32_t kFilteredAttributes = attr::Hidden | attr::System | attr::VolumeId | attr::Directory;

// A search by FindFirstFileA/FindNextFileA. Windows also matches a mask
// against the short 8.3 names, so "*.ndx" would take X.NDXOLD (short name
// X~1.NDX) and erase a file that is no index; every entry is therefore held
// to the mask by its real name as well, as on the other platforms.
class Win32Search : public DirSearch {
 public:
  Win32Search(HANDLE handle, std::string mask, uint32_t excluded)
      : handle_(handle), mask_(std::move(mask)), excluded_(excluded) {}
  ~Win32Search() override { FindClose(handle_); }

  // The first entry that passes, starting with `data`: 0; 2 when no name
  // matched, 18 when only entries the attribute filter leaves out did.
  int32_t First(const WIN32_FIND_DATAA& data, FoundFile* found) {
    if (Take(data, found)) return 0;
    const int32_t rc = Next(found);
    return rc == oserr::NoMoreFiles && !nameMatched_ ? oserr::FileNotFound : rc;
  }

  int32_t Next(FoundFile* found) override {
    WIN32_FIND_DATAA data;
    while (FindNextFileA(handle_, &data)) {
      if (Take(data, found)) return 0;
    }
    return LastError();
  }

 private:
  bool Take(const WIN32_FIND_DATAA& data, FoundFile* found) {
    if (!MaskMatches(mask_, data.cFileName)) return false;
    nameMatched_ = true;
    if (data.dwFileAttributes & excluded_) return false;
    found->name = data.cFileName;
    // The DOS bits, and whether the entry is a reparse point (a link).
    found->attributes = data.dwFileAttributes & (0xFF | FILE_ATTRIBUTE_REPARSE_POINT);
    found->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
  }

  HANDLE handle_;
  std::string mask_;
  uint32_t excluded_;
  bool nameMatched_ = false;
};

// Stop requests from the console. Its handler runs on a thread of its own.
std::atomic<bool> gStopRequested{false};
std::atomic<int> gStopStatus{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  int status = 0;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: status = 130; break;
    case CTRL_CLOSE_EVENT: status = 129; break;  // as a terminal's hang-up
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: status = 143; break;  // as a request to terminate
    default: return FALSE;
  }
  // Pressed again: the default handler ends the program.
  int none = 0;
  if (!gStopStatus.compare_exchange_strong(none, status)) return FALSE;
  gStopRequested.store(true);
  if (status == 130) return TRUE;
  // Returning from a close, logoff or shutdown event ends the process at
  // once; waiting here lets the run stop after its record and exit with its
  // own status (the system ends the wait after its own time limit).
  Sleep(INFINITE);
  return TRUE;
}

class Win32Platform : public Platform {
 public:
  uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<File>* file) override {
    file->reset();
    if (path.empty()) return oserr::PathNotFound;
    DWORD access = 0;
    switch (mode & 3) {
      case 0: access = GENERIC_READ; break;
      case 1: access = GENERIC_WRITE; break;
      default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    // The sharing granted to other openers: 16 none, 32 read, 48 write;
    // 64 and the compatibility value 0 read and write. The values above 64
    // are no mode the engine makes; they share everything, as 64 does.
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    switch (mode & 0x70) {
      case 0x10: share = 0; break;
      case 0x20: share = FILE_SHARE_READ; break;
      case 0x30: share = FILE_SHARE_WRITE; break;
      default: break;
    }
    // Windows refuses to write to a read-only file by itself; Wine run by
    // root would let the write through, so the attribute is checked first.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if ((access & GENERIC_WRITE) && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      return oserr::AccessDenied;
    }
    HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    *file = std::make_unique<Win32File>(h);
    return 0;
  }

  uint16_t CreateNewFile(const std::string& path, std::unique_ptr<File>* file) override {
    file->reset();
    if (path.empty()) return oserr::PathNotFound;
    // CREATE_NEW fails on any name that is there, a symbolic link included.
    HANDLE h =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    *file = std::make_unique<Win32File>(h);
    return 0;
  }

  uint16_t RemoveFile(const std::string& path) override {
    if (path.empty()) return oserr::PathNotFound;
    return DeleteFileA(path.c_str()) ? 0 : LastError();
  }

  // An open that shares nothing is what another program's open keeps out.
  uint16_t FileInUse(const std::string& path) override {
    if (path.empty()) return oserr::PathNotFound;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return 0;
    }
    const uint16_t rc = LastError();
    return rc == oserr::SharingViolation || rc == oserr::FileNotFound || rc == oserr::PathNotFound ? rc : 0;
  }

  // No other program gets past a share mode here, so none asks for a file.
  std::atomic<bool>* GiveBackRequests() override {
    static std::atomic<bool> never{false};
    return &never;
  }

  uint16_t MakeDirectory(const std::string& path) override {
    if (path.empty()) return oserr::PathNotFound;
    return CreateDirectoryA(path.c_str(), nullptr) ? 0 : LastError();
  }

  // The file system journals its directories: a file flushed is found again.
  uint16_t FlushDirectory(const std::string&) override { return 0; }

  // No MOVEFILE_REPLACE_EXISTING: a name that is there stays. Write-through:
  // the call returns once the move is on the disk.
  uint16_t RenameNoReplace(const std::string& from, const std::string& to) override {
    if (from.empty() || to.empty()) return oserr::PathNotFound;
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
    const uint16_t rc = LastError();
    return rc == oserr::AlreadyExists ? oserr::FileExists : rc;
  }

  std::string PathOnDisk(const std::string& path) override { return path; }

  int32_t FindFirst(const std::string& pattern, uint32_t attributes, std::unique_ptr<DirSearch>* search,
                    FoundFile* found) override {
    search->reset();
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    auto running = std::make_unique<Win32Search>(h, SplitPath(pattern, PathStyle::Windows).name,
                                                 ~attributes & kFilteredAttributes);
    const int32_t rc = running->First(data, found);
    if (rc == 0) *search = std::move(running);
    return rc;
  }

  std::string FullPath(const std::string& path) override {
    // The buffer of MAX_PATH characters the engine has always used; a path
    // that does not fit gives no result rather than a cut one.
    char buffer[MAX_PATH];
    if (path.empty()) return std::string();
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    if (n == 0 || n >= MAX_PATH) return std::string();
    return std::string(buffer, n);
  }

  std::string CurrentDirectory() override {
    const DWORD need = GetCurrentDirectoryA(0, nullptr);
    if (need == 0) return std::string();
    std::string dir(need, '\0');
    const DWORD n = GetCurrentDirectoryA(need, dir.data());
    if (n == 0 || n >= need) return std::string();
    dir.resize(n);
    return dir;
  }

  uint16_t ChangeDirectory(const std::string& path) override {
    return SetCurrentDirectoryA(path.c_str()) ? 0 : LastError();
  }

  void OemToAnsi(uint8_t* bytes, size_t count) override {
    // In place is allowed when source and destination are the same buffer.
    while (count > 0) {
      const auto n = static_cast<DWORD>(std::min(count, kMaxChunk));
      OemToCharBuffA(reinterpret_cast<LPCSTR>(bytes), reinterpret_cast<LPSTR>(bytes), n);
      bytes += n;
      count -= n;
    }
  }

  void UpperBytes(char* bytes, size_t count) override {
    while (count > 0) {
      const auto n = static_cast<DWORD>(std::min(count, kMaxChunk));
      CharUpperBuffA(bytes, n);
      bytes += n;
      count -= n;
    }
  }

  bool IsLetter(uint8_t c) override { return IsCharAlphaA(static_cast<CHAR>(c)) != FALSE; }

  uint16_t UserLanguage() override { return GetUserDefaultLangID(); }

  void ShowHaltBox(const std::string& text, const std::string& caption) override {
    MessageBoxA(GetCapture(), text.c_str(), caption.c_str(), MB_ICONSTOP | MB_OK);
  }

  [[noreturn]] void ExitProcess(int code) override {
    // ExitProcess does not flush the C runtime's buffers of a static build.
    std::fflush(nullptr);
    ::ExitProcess(static_cast<UINT>(code));
  }

  const std::atomic<bool>* CatchStopRequests() override {
    gStopRequested.store(false);
    gStopStatus.store(0);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    return &gStopRequested;
  }

  int StopRequestStatus() override { return gStopStatus.load(); }

  void ReleaseStopRequests() override { SetConsoleCtrlHandler(OnConsoleEvent, FALSE); }

  bool IsTerminal(int stream) override { return _isatty(stream) != 0; }

  uint32_t LogicalDrives() override { return GetLogicalDrives(); }

  DriveType DriveTypeOf(const std::string& root) override {
    switch (GetDriveTypeA(root.c_str())) {
      case DRIVE_NO_ROOT_DIR: return DriveType::NoRootDirectory;
      case DRIVE_REMOVABLE: return DriveType::Removable;
      case DRIVE_FIXED: return DriveType::Fixed;
      case DRIVE_REMOTE: return DriveType::Remote;
      case DRIVE_CDROM: return DriveType::CdRom;
      case DRIVE_RAMDISK: return DriveType::RamDisk;
      default: return DriveType::Unknown;
    }
  }

  uint16_t VolumeInformation(const std::string& root, VolumeInfo* info) override {
    *info = VolumeInfo{};
    // The system's critical-error boxes suppressed, so that a drive without
    // a medium answers with a failure instead of a dialog.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    char name[MAX_PATH + 1] = "";
    DWORD flags = 0;
    const BOOL ok = GetVolumeInformationA(root.c_str(), name, sizeof name, nullptr, nullptr, &flags, nullptr, 0);
    const uint16_t rc = ok ? 0 : LastError();
    SetErrorMode(oldMode);
    if (rc != 0) return rc;
    info->label = name;
    info->caseSensitive = (flags & FILE_CASE_SENSITIVE_SEARCH) != 0;
    info->casePreserving = (flags & FILE_CASE_PRESERVED_NAMES) != 0;
    return 0;
  }

  uint16_t NetworkConnection(const std::string& drive, std::string* remote) override {
    remote->clear();
    char path[MAX_PATH];
    DWORD size = sizeof path;
    const DWORD rc = WNetGetConnectionA(drive.c_str(), path, &size);
    if (rc != NO_ERROR) return static_cast<uint16_t>(rc & 0xFFFF);
    *remote = path;
    return 0;
  }
};

}  // namespace

Platform& Platform::Default() {
  static Win32Platform platform;
  return platform;
}

}  // namespace kestrel
