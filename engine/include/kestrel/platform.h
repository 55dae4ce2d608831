// The one door to the operating system, for the engine and the programs.
//
// Everything the engine and the programs need from the host -- files,
// sharing, byte-range locks, directory searches and directories, path
// expansion, character services, the user's language, the drives and their
// volumes, the halting box and process exit -- goes through `Platform`, so
// a test platform that wraps this one (`PlatformWrapper`) reaches every
// call: the fault sweep fails each in turn. What stays outside touches no
// table, index or backup: the desktop programs' windows and drawing (Win32,
// Qt), the Windows program's own path (GetModuleFileNameA) and console (for
// --version), the Qt program's list of mounted volumes (QStorageInfo), and
// the command-line program's option parser (<getopt.h>, the C library's)
// and output (<cstdio>).
//
// `Platform::Default()` is the host's implementation (POSIX or Win32).
//
// Results are the error numbers the engine's messages expect (see `oserr`):
// 0 for success, otherwise the Windows number of the failure, or one of the
// file layer's own 100 to 106. No call throws.
//
// Threads: the program uses a platform from one thread. A `File` or a
// `DirSearch` belongs to the thread that made it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "kestrel/path.h"

namespace kestrel {

// ASCII letters folded to lower case, everything else as it is: names are
// found without regard to case the way a Windows file system finds them.
char FoldCase(char c);
bool EqualNoCase(const std::string& a, const std::string& b);

// `text` with every line break as "\n". The engine's texts break lines with
// "\r\n" (and one of them with "\n\r"); a terminal and a window system
// want "\n".
std::string WithNewlines(const std::string& text);

// File attributes as the directory search reports them (the DOS/Win32 bits).
namespace attr {
constexpr uint32_t ReadOnly = 0x01;
constexpr uint32_t Hidden = 0x02;
constexpr uint32_t System = 0x04;
constexpr uint32_t VolumeId = 0x08;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
// A symbolic link (on Windows any reparse point: symbolic links, junctions,
// mounted folders), found with the attributes of what it leads to. Never
// filtered: a search finds links as it finds what they lead to, and a walk
// over a tree tells by this bit the directories it must not enter (a link
// may lead back up the tree, or out of it).
constexpr uint32_t Link = 0x400;
}  // namespace attr

// The error numbers the platform gives and the engine's messages know.
namespace oserr {
constexpr uint16_t FileNotFound = 2;
constexpr uint16_t PathNotFound = 3;
constexpr uint16_t TooManyOpenFiles = 4;
constexpr uint16_t AccessDenied = 5;
constexpr uint16_t InvalidHandle = 6;
constexpr uint16_t NoMoreFiles = 18;
constexpr uint16_t SeekError = 25;
constexpr uint16_t WriteFault = 29;
constexpr uint16_t ReadFault = 30;
constexpr uint16_t SharingViolation = 32;
constexpr uint16_t LockViolation = 33;
constexpr uint16_t FileExists = 80;
constexpr uint16_t NotLocked = 158;
constexpr uint16_t AlreadyExists = 183;
constexpr uint16_t NotReady = 21;        // a drive without a medium
constexpr uint16_t NotConnected = 2250;  // no network connection of that name
// The file layer's own numbers.
constexpr uint16_t DiskReadError = 100;   // also: a file that ends early
constexpr uint16_t DiskWriteError = 101;  // a short write: the disk is full
constexpr uint16_t FileNotOpen = 103;
}  // namespace oserr

// The file-open mode byte: the access in the low two bits, the sharing
// granted to others in bits 4 to 6.
namespace openmode {
constexpr uint8_t Read = 0x00;
constexpr uint8_t Write = 0x01;
constexpr uint8_t ReadWrite = 0x02;
constexpr uint8_t Compatibility = 0x00;  // others may read and write
constexpr uint8_t DenyAll = 0x10;
constexpr uint8_t DenyWrite = 0x20;
constexpr uint8_t DenyRead = 0x30;
constexpr uint8_t DenyNone = 0x40;
// The engine's three: exclusive (18), shared (66) and compatibility (2).
constexpr uint8_t Exclusive = ReadWrite | DenyAll;
constexpr uint8_t Shared = ReadWrite | DenyNone;
constexpr uint8_t Compatible = ReadWrite | Compatibility;
// Looking only: read access, everyone else may read and write meanwhile.
constexpr uint8_t Inspect = Read | DenyNone;
// The engine's ForcedOpenMode when it forces none: USE picks the mode.
constexpr uint16_t NoneForced = 0xFFFF;
}  // namespace openmode

// The kinds of drive the system tells apart.
enum class DriveType { Unknown, NoRootDirectory, Removable, Fixed, Remote, CdRom, RamDisk };

// A volume's name and how it treats the case of file names.
struct VolumeInfo {
  std::string label;           // "" when it has none
  bool caseSensitive = true;   // "a" and "A" are two names
  bool casePreserving = true;  // names keep the case they were made with
};

// Modification times: nanoseconds since 1970-01-01 00:00 UTC.
using FileTime = int64_t;

// An open file. Positions are byte offsets; a read or write works at the
// position set by the last Seek and advances it. Every call gives 6 once the
// file is closed.
class File {
 public:
  virtual ~File() = default;

  // Sets the position for the next Read or Write. 0 or an error number.
  virtual uint16_t Seek(uint64_t offset) = 0;

  // Reads up to `count` bytes into `buffer`; `*got` receives the number read,
  // which is smaller than `count` only at the end of the file. 0 or an error
  // number (then `*got` is 0).
  virtual uint16_t Read(void* buffer, size_t count, size_t* got) = 0;

  // Writes `count` bytes; `*written` receives the number written. A short
  // count with result 0 means the device is full.
  virtual uint16_t Write(const void* buffer, size_t count, size_t* written) = 0;

  // Size of the file in bytes. 0 or an error number.
  virtual uint16_t Size(uint64_t* size) = 0;

  // Byte-range lock and unlock, non-blocking: a region another opener holds
  // gives 33, unlocking a region this file does not hold gives 158. The
  // region is [offset, offset + length) of a 32-bit lock space.
  virtual uint16_t LockRegion(uint32_t offset, uint32_t length) = 0;
  virtual uint16_t UnlockRegion(uint32_t offset, uint32_t length) = 0;

  // Writes what the system still holds of the file to the disk: its bytes
  // and what the directory needs to find them. 0 or an error number.
  virtual uint16_t Flush() = 0;

  // The file's modification time, and setting it (the copy of a file keeps
  // the original's). 0 or an error number.
  virtual uint16_t ModifiedTime(FileTime* time) = 0;
  virtual uint16_t SetModifiedTime(FileTime time) = 0;

  // Whether `path` names this very file (a symbolic link at its end is not
  // followed, so a link to the file is not it). False when it names another
  // file, nothing, or cannot be looked at.
  virtual bool IsNamedBy(const std::string& path) = 0;

  // Closes the file. 0 or an error number.
  virtual uint16_t Close() = 0;

  // Why an open that denies others could not find out whether another
  // program has the file open, or "" when it could (or shares the file with
  // everyone). Linux: a file of another user without CAP_LEASE, or a file
  // system without file leases (NFS, FUSE); the lock checks still applied.
  virtual std::string UncheckedSharing() { return std::string(); }
};

// One entry found by a directory search.
struct FoundFile {
  std::string name;  // name only, no directory
  uint32_t attributes = 0;
  uint64_t size = 0;
};

// A running directory search; destroying it ends the search.
class DirSearch {
 public:
  virtual ~DirSearch() = default;
  // The next matching entry: 0, or 18 when there is none. Entries come in
  // the order the file system keeps them (POSIX: by name, bytewise; Windows:
  // the volume's order); callers that show them sort them.
  virtual int32_t Next(FoundFile* found) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The host's implementation, created on first use.
  static Platform& Default();

  // Opens an existing file; never creates one. `mode` is a file-open mode
  // byte (see `openmode`): the access asked for and the sharing granted to
  // other openers, in this process or another. 0; 2 or 3 when the file or its
  // directory is missing; 5 for a read-only file opened for writing, a
  // directory, or no right to it; 32 when another opener's sharing (or this
  // one's) keeps them apart.
  //
  // The sharing, as every program on the machine sees it:
  // - deny-all and deny-read: refused while any other program has the file
  //   open, in any mode, or holds any lock on any part of it; meanwhile
  //   nobody else opens it (Windows refuses them; Linux holds a new opener
  //   up and sets GiveBackRequests, until this file is closed);
  // - deny-write: the same for other programs that write (opened for
  //   reading only), otherwise as deny-all;
  // - deny-none and compatibility: refused only while another program holds
  //   the file for itself (a deny-all open, a lock on the whole file); they
  //   keep nobody out but a deny-all open.
  // Where Linux cannot tell whether other programs have a file open (see
  // File::UncheckedSharing) only their locks are seen.
  virtual uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<File>* file) = 0;

  // Whether another program has the file open or locked, as a deny-all
  // open would find it: 0, or 32 when it has; 0 also when that cannot be
  // told (see File::UncheckedSharing), 2 or 3 when the file is missing.
  virtual uint16_t FileInUse(const std::string& path) = 0;

  // Set when another program asks for a file that this process holds with a
  // deny-all (or deny-read, deny-write) open: Linux holds that program's
  // open up until the file is closed, or until the system's time for it
  // (45 seconds by default) runs out. Work on such a file reads the flag
  // at its safe points, closes the file and stops; whoever handled it
  // clears it. Never set on Windows, where no other program gets in.
  virtual std::atomic<bool>* GiveBackRequests() = 0;

  // Creates a new, empty file and opens it for reading and writing, shared
  // with nobody. A file of that name, or a symbolic link there (even one that
  // leads nowhere), is never opened or replaced: that gives 80. 0; 3 when the
  // directory is missing; 5 when it may not be written.
  virtual uint16_t CreateNewFile(const std::string& path, std::unique_ptr<File>* file) = 0;

  // Deletes a file. A read-only file gives 5, a file another program has
  // open or locked (see FileInUse) 32.
  virtual uint16_t RemoveFile(const std::string& path) = 0;

  // Makes one directory; its parent must exist. 0; 183 when something of that
  // name exists; 3 when the parent is missing; 5 when it may not be made.
  virtual uint16_t MakeDirectory(const std::string& path) = 0;

  // Writes the directory's entries to the disk, so that a file created,
  // renamed or deleted in it is found as it now is after a power cut, and a
  // directory made in it is found too. 0 or an error number. POSIX: fsync of
  // the directory. Windows: nothing, and 0: NTFS journals its directory
  // entries, and what must reach the disk is the file's own bytes
  // (File::Flush, FlushFileBuffers) and a rename's (RenameNoReplace moves
  // with MOVEFILE_WRITE_THROUGH, which returns once the move is on the disk).
  virtual uint16_t FlushDirectory(const std::string& path) = 0;

  // Gives the file `from` the name `to`, which must not exist: a file or a
  // symbolic link there (even one that leads nowhere) is never replaced or
  // followed, and gives 80. Both names in one directory. 0; 2 when `from`
  // is missing; 5 when it may not be renamed. The new name reaches the disk
  // with the directory's flush (FlushDirectory).
  virtual uint16_t RenameNoReplace(const std::string& from, const std::string& to) = 0;

  // Starts a search for `pattern` (a directory and a mask with "*" and "?",
  // matched without regard to case). Entries carrying an attribute among
  // hidden, system, volume label and directory are skipped unless
  // `attributes` asks for it. "." and ".." are found only where the system
  // lists them (Windows), as directories. Result: 0 with
  // the first match in `*found` and the rest from `*search`; 2 when nothing
  // matches the mask, 3 when the directory does not exist, 5 when it may not
  // be read, 18 when only skipped entries match.
  virtual int32_t FindFirst(const std::string& pattern, uint32_t attributes, std::unique_ptr<DirSearch>* search,
                            FoundFile* found) = 0;

  // `path` spelled as the file system stores it: each component that exists
  // as the file OpenFile would find (where case tells names apart, the exact
  // spelling if there is one, else the name that differs only in case); the
  // components that do not exist as given. Where names are found without
  // regard to case and kept as typed (Windows), `path` unchanged.
  virtual std::string PathOnDisk(const std::string& path) = 0;

  // The absolute form of `path` relative to the current drive and directory;
  // empty when it cannot be formed (260 characters at the most).
  virtual std::string FullPath(const std::string& path) = 0;

  // The process's current directory ("" when it is gone), and changing it:
  // 0, or 3 (2 on some systems) when `path` is no directory that can be
  // entered. A relative path starts from the current directory. On Windows
  // a drive alone ("c:") enters that drive's own current directory, the one
  // it had when the process last left the drive.
  virtual std::string CurrentDirectory() = 0;
  virtual uint16_t ChangeDirectory(const std::string& path) = 0;

  // Translates `count` bytes in place from the OEM character set (code page
  // 437) to the ANSI one (code page 1252).
  virtual void OemToAnsi(uint8_t* bytes, size_t count) = 0;

  // Upper-cases `count` bytes in place by the user's locale, and the letter
  // test of one byte.
  virtual void UpperBytes(char* bytes, size_t count) = 0;
  virtual bool IsLetter(uint8_t c) = 0;

  // The user's language as a Windows language identifier: primary language in
  // the low 10 bits, sublanguage above them.
  virtual uint16_t UserLanguage() = 0;

  // Shows the halting report: `text` in a box captioned `caption` with the
  // stop icon and one OK button; returns when the user has closed it.
  virtual void ShowHaltBox(const std::string& text, const std::string& caption) = 0;

  // Ends the process with `code`. Does not return (a test's recorder may
  // throw instead).
  [[noreturn]] virtual void ExitProcess(int code) = 0;

  // Requests from outside to stop: Ctrl+C, a closed terminal and a request
  // to terminate (POSIX: SIGINT, SIGHUP, SIGTERM; Windows: the console's
  // Ctrl+C and Ctrl+Break, its close, the user's logoff and the system's
  // shutdown). From this call on the first request sets the flag returned,
  // which a long piece of work reads to stop at a safe point; a second
  // request ends the process at once, as if nothing were caught. A closed
  // pipe or terminal on an output stream no longer ends the process: the
  // write fails instead (POSIX: SIGPIPE ignored). Until ReleaseStopRequests.
  // (The flag is set from a signal handler or from the console's own thread.)
  virtual const std::atomic<bool>* CatchStopRequests() = 0;
  // The exit status that tells the first request apart, as a shell has it:
  // 130 for Ctrl+C, 129 for a closed terminal or console, 143 for a request
  // to terminate (logoff and shutdown on Windows); 0 when none came.
  virtual int StopRequestStatus() = 0;
  virtual void ReleaseStopRequests() = 0;

  // Whether the standard output (1) or standard error (2) is a terminal.
  virtual bool IsTerminal(int stream) = 0;

  // The drives, for the selection dialog. Media are never touched by these
  // four, and a drive without a medium answers with a failure (21) rather
  // than a box of the system's.
  //
  // The drive letters in use: bit 0 for "a:" up to bit 25 for "z:". POSIX:
  // 0, a system without drive letters (the desktop program lists mounted
  // volumes instead).
  virtual uint32_t LogicalDrives() = 0;
  // The kind of drive whose root is `root` ("c:\"; POSIX: a mount point,
  // by its file system: network, CD-ROM, RAM, otherwise fixed).
  // NoRootDirectory when there is none.
  virtual DriveType DriveTypeOf(const std::string& root) = 0;
  // The label and case rules of the volume whose root is `root`: 0, or an
  // error number. POSIX: no label; FAT and exFAT keep the case of names but
  // find them without regard to it, other file systems tell case apart.
  virtual uint16_t VolumeInformation(const std::string& root, VolumeInfo* info) = 0;
  // The network path ("\\server\share") the drive `drive` ("x:") is
  // connected to: 0, or an error number (2250 for a drive that is not a
  // network connection). POSIX: the source (server:/export, //server/share)
  // of the network file system mounted at `drive`.
  virtual uint16_t NetworkConnection(const std::string& drive, std::string* remote) = 0;
};

// Forwards every call to a target platform; override the calls to change.
class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform& target) : target_(target) {}
  Platform& target() { return target_; }

  uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<File>* file) override {
    return target_.OpenFile(path, mode, file);
  }
  uint16_t CreateNewFile(const std::string& path, std::unique_ptr<File>* file) override {
    return target_.CreateNewFile(path, file);
  }
  uint16_t FileInUse(const std::string& path) override { return target_.FileInUse(path); }
  std::atomic<bool>* GiveBackRequests() override { return target_.GiveBackRequests(); }
  uint16_t RemoveFile(const std::string& path) override { return target_.RemoveFile(path); }
  uint16_t MakeDirectory(const std::string& path) override { return target_.MakeDirectory(path); }
  uint16_t FlushDirectory(const std::string& path) override { return target_.FlushDirectory(path); }
  uint16_t RenameNoReplace(const std::string& from, const std::string& to) override {
    return target_.RenameNoReplace(from, to);
  }
  int32_t FindFirst(const std::string& pattern, uint32_t attributes, std::unique_ptr<DirSearch>* search,
                    FoundFile* found) override {
    return target_.FindFirst(pattern, attributes, search, found);
  }
  std::string PathOnDisk(const std::string& path) override { return target_.PathOnDisk(path); }
  std::string FullPath(const std::string& path) override { return target_.FullPath(path); }
  std::string CurrentDirectory() override { return target_.CurrentDirectory(); }
  uint16_t ChangeDirectory(const std::string& path) override { return target_.ChangeDirectory(path); }
  void OemToAnsi(uint8_t* bytes, size_t count) override { target_.OemToAnsi(bytes, count); }
  void UpperBytes(char* bytes, size_t count) override { target_.UpperBytes(bytes, count); }
  bool IsLetter(uint8_t c) override { return target_.IsLetter(c); }
  uint16_t UserLanguage() override { return target_.UserLanguage(); }
  void ShowHaltBox(const std::string& text, const std::string& caption) override { target_.ShowHaltBox(text, caption); }
  [[noreturn]] void ExitProcess(int code) override {
    target_.ExitProcess(code);
    std::abort();  // an exit that returned
  }
  const std::atomic<bool>* CatchStopRequests() override { return target_.CatchStopRequests(); }
  int StopRequestStatus() override { return target_.StopRequestStatus(); }
  void ReleaseStopRequests() override { target_.ReleaseStopRequests(); }
  bool IsTerminal(int stream) override { return target_.IsTerminal(stream); }
  uint32_t LogicalDrives() override { return target_.LogicalDrives(); }
  DriveType DriveTypeOf(const std::string& root) override { return target_.DriveTypeOf(root); }
  uint16_t VolumeInformation(const std::string& root, VolumeInfo* info) override {
    return target_.VolumeInformation(root, info);
  }
  uint16_t NetworkConnection(const std::string& drive, std::string* remote) override {
    return target_.NetworkConnection(drive, remote);
  }

 private:
  Platform& target_;
};

// The exit status the parent of a process sees when the process ends with
// `code`: Windows keeps the whole code; POSIX keeps 8 bits, so a code
// outside 0 to 255 shows as 255 (the report's text has the full code).
int ExitStatusOf(int code);

// Copies everything `from` holds, from its start, to the position of `to`,
// in pieces of a fixed size (memory stays flat in the file's size), then
// gives `to` the modification time of `from`. 0, the first failure, 101 for
// a short write, or 100 when `from` ends before the size it gave.
uint16_t CopyWholeFile(File& from, File& to);

// Pure helpers shared by the implementations and testable on every host.

// Windows' full-path rules applied as text: `path` relative to `currentDir`
// (a full path such as C:\DATA) in the given style. Doubled separators count
// as one; "." and ".." are resolved. Empty when the result would not fit in
// 259 characters.
std::string ResolveFullPath(const std::string& path, const std::string& currentDir, PathStyle style);

// Windows wildcard match of a file name against a mask ("*", "?"),
// without regard to ASCII case. "*.*" matches every name.
bool MaskMatches(const std::string& mask, const std::string& name);

// The code page 437 to 1252 translation that Windows applies (best fit
// included), one entry per OEM byte.
extern const uint8_t kOem437ToAnsi1252[256];

// Windows language identifier for a POSIX locale name such as de_DE.UTF-8;
// C, POSIX and empty give English (United States).
uint16_t LanguageFromLocaleName(const std::string& locale);

}  // namespace kestrel
