// Test helpers: a small DBF writer that makes tables of any version and any
// (also impossible) header values, temporary directories, file helpers, and
// platforms that record halting reports and inject failures.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "kestrel/engine.h"
#include "kestrel/platform.h"

namespace testkit {

struct FieldSpec {
  std::string name;  // written as given (up to the slot's name width)
  char type = 'C';
  uint8_t length = 10;
  uint8_t decimals = 0;
};

// Tables are described with designated initializers that name only what
// differs from the defaults; GCC before 14 warns about every member left out.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

struct DbfLayout {
  uint8_t version = 0x03;
  std::vector<FieldSpec> fields;
  // Whole records, deletion flag first; shorter ones are padded with blanks
  // to the record length.
  std::vector<std::string> records;
  // Header values as computed from the fields unless given.
  std::optional<uint32_t> recordCount;
  std::optional<uint16_t> headerLength;
  std::optional<uint16_t> recordLength;
  bool terminator = true;  // write the 0x0D after the descriptors
  bool eofMarker = true;   // write 0x1A after the records
  std::string slack;       // bytes between the terminator and HeaderLength (layout A)
};

// The bytes of a table file for `layout`.
std::string BuildDbf(const DbfLayout& layout);

// Convenience: a record from field values, each padded with blanks to its
// field's length; `deleted` puts "*" into the flag.
std::string Record(const DbfLayout& layout, const std::vector<std::string>& values, bool deleted = false);

// A path as the engine's texts name a table: upper-cased (ASCII) on Windows,
// as it is where case tells files apart.
std::string EngineText(const std::string& path);

std::string ReadFile(const std::string& path);

// `text` without its lines that hold `part` (a program's notes, where a
// test looks at its failures only).
std::string WithoutLinesContaining(const std::string& text, const std::string& part);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
void SetReadOnly(const std::string& path, bool readOnly);

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + separator + name
  std::string File(const std::string& name) const;
  // Writes a file into the directory and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// Thrown by RecordingPlatform::ExitProcess so that a test can go on after a
// halting report.
struct ProcessExit {
  int code;
};

struct HaltReport {
  std::string text;
  std::string caption;
};

// Records halting boxes instead of showing them, ends the "process" by
// throwing ProcessExit, and can inject failures into files and deletes.
class RecordingPlatform : public kestrel::PlatformWrapper {
 public:
  RecordingPlatform();
  explicit RecordingPlatform(kestrel::Platform& target);

  std::vector<HaltReport> halts;
  std::vector<int> exits;
  std::optional<uint16_t> language;  // overrides the user's language

  // Failure injection. Each optional holds the error number to give; the
  // counters say how many calls succeed before the failure starts.
  struct Faults {
    std::optional<uint16_t> open;
    std::optional<uint16_t> size;
    std::optional<uint16_t> seek;
    std::optional<uint16_t> read;
    std::optional<size_t> shortReadBy;   // bytes fewer than asked, result 0
    std::optional<size_t> shortWriteBy;  // bytes fewer than written, result 0
    std::optional<uint16_t> write;
    std::optional<uint16_t> close;
    std::optional<uint16_t> remove;
    std::optional<uint16_t> create;  // CreateNewFile
    std::optional<uint16_t> flush;   // File::Flush
    // A write that covers file byte `badByte` fails with `badByteCode`, or
    // with badByteShort writes the bytes before it and comes up short.
    std::optional<uint64_t> badByte;
    bool badByteShort = false;
    uint16_t badByteCode = 29;
    int seekAfter = 0;  // successful seeks before the failure
    int readAfter = 0;  // successful reads before the failure
  } faults;
  int reads = 0;
  int writes = 0;
  int seeks = 0;

  // The fault sweep: every platform call of a kind is counted, and the n-th
  // (from 0) of the chosen kind fails with `code` (a short read or write
  // gives one byte fewer instead).
  enum class Call {
    Open,
    Size,
    Seek,
    Read,
    ShortRead,
    Write,
    ShortWrite,
    Lock,
    Close,
    Remove,
    Search,
    Create,
    MakeDir,
    Flush,
    Time,
    Rename,
    Volume  // VolumeInformation and NetworkConnection: the drive box's queries
  };
  struct SweepFault {
    Call call;
    int nth;
    uint16_t code;
  };
  std::optional<SweepFault> sweep;
  std::map<Call, int> calls;
  // Counts a call of `kind` (a read counts as Read and ShortRead, a write as
  // Write and ShortWrite) and tells whether the sweep fails it.
  bool SweepDue(Call kind);

  // Called with the path of each file CreateNewFile made, before the caller
  // gets it: a test can put something else in its place meanwhile.
  std::function<void(const std::string& path)> afterCreate;

  uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<kestrel::File>* file) override;
  uint16_t CreateNewFile(const std::string& path, std::unique_ptr<kestrel::File>* file) override;
  uint16_t RemoveFile(const std::string& path) override;
  uint16_t MakeDirectory(const std::string& path) override;
  uint16_t RenameNoReplace(const std::string& from, const std::string& to) override;
  int32_t FindFirst(const std::string& pattern, uint32_t attributes, std::unique_ptr<kestrel::DirSearch>* search,
                    kestrel::FoundFile* found) override;
  uint16_t VolumeInformation(const std::string& root, kestrel::VolumeInfo* info) override;
  uint16_t NetworkConnection(const std::string& drive, std::string* remote) override;
  uint16_t UserLanguage() override;
  void ShowHaltBox(const std::string& text, const std::string& caption) override;
  [[noreturn]] void ExitProcess(int code) override;
};

// Installs an ErrorHook on `engine` that records the code and the detail
// text of every report, so that a test sees each report an operation makes
// (also the second one of a failure that reports twice) and the operation
// goes on as it would after a report that returns.
class ReportLog {
 public:
  struct Entry {
    uint16_t code;
    std::string text;
    bool operator==(const Entry&) const = default;
    friend void PrintTo(const Entry& e, std::ostream* os) { *os << e.code << " \"" << e.text << "\""; }
  };
  explicit ReportLog(kestrel::Engine& engine);
  ~ReportLog();  // removes the hook: an engine may outlive its log
  ReportLog(const ReportLog&) = delete;
  ReportLog& operator=(const ReportLog&) = delete;
  std::vector<Entry> entries;

 private:
  kestrel::Engine& engine_;
};

// Runs `fn` and returns the exit code a halting report ended it with, or
// nullopt when it returned normally.
std::optional<int> RunUntilExit(const std::function<void()>& fn);

}  // namespace testkit
