// The engine's only door to the operating system.
//
// Everything the engine needs from the host -- files, sharing, byte-range
// locks, directory searches, path expansion, character services, the user's
// language, the halting box and process exit -- goes through `Platform`.
// `Platform::Default()` is the host's implementation (POSIX or Win32);
// `PlatformWrapper` forwards every call to another platform so that a test or
// a front end can override just the calls it cares about.
//
// Results are the error numbers the engine's messages expect: 0 for success,
// 2 file not found, 3 path not found, 5 access denied, 18 no more files,
// 32 sharing violation, 33 lock violation, 158 region not locked, and the
// file layer's own 100 to 106.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace kestrel {

// Separator rules for the file-name utilities. Windows: "\" and ":" (drive
// letters); POSIX: "/" only.
enum class PathStyle { Windows, Posix };

// The style of the host this binary was built for.
PathStyle HostPathStyle();

// File attributes as the directory search reports them (the DOS/Win32 bits).
namespace attr {
constexpr uint32_t ReadOnly = 0x01;
constexpr uint32_t Hidden = 0x02;
constexpr uint32_t System = 0x04;
constexpr uint32_t VolumeId = 0x08;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
}  // namespace attr

// Common error numbers.
namespace oserr {
constexpr uint16_t FileNotFound = 2;
constexpr uint16_t PathNotFound = 3;
constexpr uint16_t AccessDenied = 5;
constexpr uint16_t InvalidHandle = 6;
constexpr uint16_t NoMoreFiles = 18;
constexpr uint16_t SharingViolation = 32;
constexpr uint16_t LockViolation = 33;
constexpr uint16_t NotLocked = 158;
constexpr uint16_t DiskReadError = 100;
constexpr uint16_t DiskWriteError = 101;
constexpr uint16_t FileNotOpen = 103;
}  // namespace oserr

// An open file. Positions are byte offsets; a read or write works at the
// position set by the last Seek and advances it.
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

  // Closes the file; later calls give 6. 0 or an error number.
  virtual uint16_t Close() = 0;
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
  // The next matching entry: 0, or 18 when there is none.
  virtual int32_t Next(FoundFile* found) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The host's implementation, created on first use.
  static Platform& Default();

  // Opens an existing file for reading and writing; never creates one.
  // `mode` is the engine's file-open mode byte: the low two bits are the
  // access (the engine always asks for read and write), the bits 16/32/48/64
  // the sharing granted to others (16 none, 32 read, 48 write, 64 read and
  // write, 0 compatibility: read and write). 0 or an error number.
  virtual uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<File>* file) = 0;

  // Deletes a file. A read-only file gives 5.
  virtual uint16_t RemoveFile(const std::string& path) = 0;

  // Starts a search for `pattern` (a directory and a mask with "*" and "?").
  // Entries carrying an attribute among hidden, system, volume label and
  // directory are skipped unless `attributes` asks for it. Result: 0 with the
  // first match in `*found`, 2 when nothing matches the mask, 3 when the
  // directory does not exist, 18 when only skipped entries match.
  virtual int32_t FindFirst(const std::string& pattern, uint32_t attributes, std::unique_ptr<DirSearch>* search,
                            FoundFile* found) = 0;

  // The absolute form of `path` relative to the current drive and directory;
  // empty when it cannot be formed (260 characters at the most).
  virtual std::string FullPath(const std::string& path) = 0;

  // The process's current directory, and changing it (0 or an error number).
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
};

// Forwards every call to a target platform; override the calls to change.
class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform& target) : target_(target) {}
  Platform& target() { return target_; }

  uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<File>* file) override {
    return target_.OpenFile(path, mode, file);
  }
  uint16_t RemoveFile(const std::string& path) override { return target_.RemoveFile(path); }
  int32_t FindFirst(const std::string& pattern, uint32_t attributes, std::unique_ptr<DirSearch>* search,
                    FoundFile* found) override {
    return target_.FindFirst(pattern, attributes, search, found);
  }
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

 private:
  Platform& target_;
};

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
