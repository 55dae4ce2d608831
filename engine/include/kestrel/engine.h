// The kestrel xBase table engine.
//
// One `Engine` holds all engine-wide state: the error state and reporting
// settings, the work-area table and the current area, the file-name search
// status, the date layout and the open-mode settings. Operations keep their
// dBASE-style names and act on the table of the current work area. A program
// has one engine; each test makes its own.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kestrel/names.h"
#include "kestrel/platform.h"

namespace kestrel {

// The engine's own error numbers, beside the platform's (see `oserr`); the
// message table (ErrorMessage) has the text of each.
namespace engerr {
constexpr uint16_t BadBlockAddress = 9;      // FreeMem of a block that is none
constexpr uint16_t NotDbase = 210;           // no dBASE data file
constexpr uint16_t BadFieldType = 211;       // a field type the engine does not know
constexpr uint16_t BeyondRange = 212;        // a record number or a SKIP past the table
constexpr uint16_t UnexpectedEnd = 213;      // a record that ends early
constexpr uint16_t NoTableInUse = 215;       // an operation on an empty work area
constexpr uint16_t InvalidParameter = 220;   // a work area, field, buffer, alias or lock asked wrongly
constexpr uint16_t CorruptIndex = 222;       // a field directory without a field
constexpr uint16_t InvalidSize = 266;        // a record buffer of the wrong size
constexpr uint16_t NotOnVirtualFile = 1100;  // "Not a valid operation on Linked List"
constexpr uint16_t NoVirtualFiles = 1101;    // the in-memory tables are not built in
constexpr uint16_t RecordNotLocked = 1200;
}  // namespace engerr

// The engine's exception: raised by a report when RaiseErrors is on.
class EKestrelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The runtime's input/output failure: a failed direct read of Peek, a failed
// size query or a failed header read while opening. Carries the error number.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(uint16_t code, const std::string& what) : std::runtime_error(what), ErrorCode(code) {}
  uint16_t ErrorCode;
};

struct FieldEntry {
  std::string Name;  // up to 10 characters, upper case
  char Type = 'C';   // C, D, F, L, M or N
  uint8_t Length = 0;
  uint8_t Decimals = 0;
  uint16_t Offset = 0;  // in the record; the deletion flag is byte 0
};

// The read window of a table held exclusively: the engine's own (see
// engine/src/read_window.h).
class ReadWindow;

// Field names are looked up by a view of the caller's text: no copy is made.
struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};

struct TableDescriptor {
  TableDescriptor();
  ~TableDescriptor();
  TableDescriptor(TableDescriptor&&) noexcept;
  TableDescriptor& operator=(TableDescriptor&&) noexcept;

  std::string FileName;
  // The name as the caller spelled it, given to the platform to open. The
  // engine's texts show FileName, upper-cased as on Windows; on a file system
  // where names differ by case only the caller's spelling names the right file.
  std::string OpenName;
  std::array<uint8_t, 32> Prolog{};
  bool HasMemo = false;
  int16_t HeaderLength = 0;
  uint16_t RecordLength = 0;
  uint8_t FieldCount = 0;
  std::vector<FieldEntry> Fields;  // Fields[k] is field k; Fields[0] is unused
  std::unordered_map<std::string, uint8_t, NameHash, std::equal_to<>> FieldIndex;  // name -> first field of it
  std::vector<uint8_t> FirstOfName;  // [k]: the first field named like field k
  uint8_t FieldNoHint = 1;           // where the last name lookup ended
  uint8_t State = 0;                 // 0 closed, 1 open
  std::vector<uint8_t> RecordBuffer;
  int32_t RecordCount = 0;
  int32_t CurrentRecord = 0;
  bool AtEof = false;
  bool AtBof = false;
  bool OemTranslate = false;
  std::unique_ptr<File> DataFile;
  bool IsVirtual = false;
  uint8_t* AppRecord = nullptr;
  uint16_t AppRecordSize = 0;
  bool OwnsAppRecord = false;
  std::vector<uint8_t> OwnedAppRecord;  // storage of AppRecord when the engine owns it
  std::string Alias;
  uint8_t LockState = 0;  // 0 none, 1 table, 2 header, 3 records
  uint16_t LockCount = 0;
  std::vector<int32_t> LockList;  // record numbers, first entry first
  std::vector<uint8_t> SpareRecord;
  bool Exclusive = false;
  // Reads of an exclusively held table are answered from a window of the
  // file; every write goes to the file and then into the window.
  std::unique_ptr<ReadWindow> Window;

  // Byte position of record n in the file.
  uint64_t RecordPosition(int32_t n) const {
    return static_cast<uint64_t>(static_cast<uint16_t>(HeaderLength)) +
           static_cast<uint64_t>(static_cast<int64_t>(n) - 1) * RecordLength;
  }
};

// The 6-byte real of the application record layout.
void EncodeReal48(double value, uint8_t out[6]);

class Engine {
 public:
  // Runs both start-up steps; the destructor runs the exit procedure.
  explicit Engine(Platform& platform = Platform::Default());
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  Platform& platform() { return platform_; }

  // ---- Errors and reporting
  uint16_t ErrorCode = 0;
  std::string ErrorText;
  bool AutoReport = true;
  bool RaiseErrors = false;
  std::function<void()> ErrorHook;
  bool Halted = false;
  static constexpr const char* kHaltCaption = "Program halted.";

  void SetError(uint16_t code, const std::string& text);
  void ReportError();
  static std::string ErrorMessage(uint16_t code);
  std::string TakeErrorText();
  void GetMem(void*& p, uint16_t size);
  void FreeMem(void*& p, uint16_t size);

  // ---- Start-up, settings and shutdown
  uint8_t DateFormat = 0;
  uint16_t DefaultOpenMode = openmode::Shared;
  bool EngineReady = false;
  void EngineStartup();
  void WorkAreaStartup();
  void EngineShutdown();

  // ---- File names and wildcard erase
  int32_t FindStatus = 0;
  void EraseFiles(const std::string& mask);
  std::string FullPathName(const std::string& path);
  std::string UpperText(const std::string& text);
  bool StartsWithLetter(const std::string& text);
  bool RemoveKeyword(const std::string& keyword, std::string& text);
  int32_t FindFirst(const std::string& pattern, uint32_t attributes, FoundFile& found);
  int32_t FindNext(FoundFile& found);
  void FindClose();

  // ---- Opening and closing
  uint8_t FileMode = openmode::Compatible;  // the platform's current file-open mode
  void OpenDbf(TableDescriptor& d);
  void CloseDbf(TableDescriptor& d);
  void CloseArea();
  // Writes what the system still holds of the current table's file to the
  // disk; a failure is reported with the table's name (tag "Commit").
  void Commit();
  // Copies the current table's file, whole and with its modification time,
  // to `to`, through the engine's own handle (an exclusive open keeps every
  // other one out).
  // Reports nothing: 0, or the error number (101 for a short write, 100 for a
  // file that ends before its size, 103 when no table is open).
  uint16_t CopyTableFile(File& to);

  // ---- Record I/O
  bool AnsiData = false;
  void GetDbfRecord(TableDescriptor& d, int32_t n);
  void LoadAppRecord();
  void UnpackRecord(const TableDescriptor& d, uint8_t* dest, size_t destSize);
  void ClearRecord();

  // ---- Work areas
  static constexpr uint8_t kAreas = 35;
  static constexpr uint8_t kUserAreas = 33;
  void Select(uint8_t n);
  uint8_t CurrentArea() const { return current_; }
  bool NoDatabaseInUse(const std::string& op);
  std::string CurrentAlias() const;
  std::string CurrentDbfName() const;
  void CloseAllAreas();
  TableDescriptor* CurrentTable() { return areas_[current_].get(); }
  TableDescriptor* Area(uint8_t n) { return n >= 1 && n <= kAreas ? areas_[n].get() : nullptr; }
  // The slot of area n (1 to 35) itself. Nothing in the engine opens a table
  // in the reserved areas 34 and 35; this is the way to put one there.
  std::unique_ptr<TableDescriptor>& AreaSlot(uint8_t n) { return areas_.at(n >= 1 && n <= kAreas ? n : 0); }

  // ---- USE
  bool SharedAccess = true;
  uint16_t ForcedOpenMode = openmode::NoneForced;
  void USE(const std::string& command, void* buffer = nullptr, uint16_t size = 0);
  static uint32_t CalcAppRecordSize(const TableDescriptor& d);

  // ---- Navigation
  bool HideDeleted = false;
  void GoTop();
  void SKIP(int32_t n);
  bool dEOF();
  bool dBOF();
  int32_t RecNo();
  int32_t RecCount();  // the number of records; 0 with no table (tag "RecCount")
  void RefreshRecordCount(TableDescriptor& d);

  // ---- Record locking
  static constexpr uint32_t LockBase = 0x40000000u;
  static constexpr uint32_t WholeTableLockLength = 0x3FFFFFFFu;
  uint16_t LockRange(bool unlock, File* file, uint32_t offset, uint32_t length);
  uint32_t RecordLockOffset(const TableDescriptor& d, int32_t n) const;
  uint16_t UnlockRecordRange(int32_t n);
  bool IsLocked(int32_t n);
  bool UnlockRec(int32_t n);
  void Unlock();
  // The acquiring side, for programs that share tables: lock one record, the
  // header or the whole table. Failures stay in ErrorCode/ErrorText, unreported.
  bool LockRec(int32_t n);
  bool LockHeader();
  bool LockTable();
  bool MayWriteRecord(int32_t r);

  // ---- Field directory
  uint8_t FieldCount();
  void Field(uint8_t n, std::string& name);
  std::string Field(uint8_t n);
  uint8_t FieldNo(const std::string& name);

  // ---- Peek and Poke
  void Peek(uint8_t f, int32_t r, std::string& result);
  std::string Peek(uint8_t f, int32_t r);
  void Poke(const std::string& data, uint8_t f, int32_t r);
  // Where Peek and Poke find field f of the current table's records: its
  // offset in the record and the number of its bytes that lie inside the
  // record. Field 0 is the deletion flag: offset 0, size 1. A field number
  // past the field count gives 0 and 0.
  void FieldPlace(uint8_t f, uint16_t& offset, uint16_t& size);

  // ---- Bulk access, for walks over a whole table held exclusively
  // Records of the current table as the file holds them (before any OEM
  // translation): the current record and those after it that the table's
  // read window holds in full, none past the record count.
  struct RecordView {
    const uint8_t* bytes = nullptr;
    int32_t first = 0;  // the number of the first record
    int32_t count = 0;
    uint16_t length = 0;      // the record length
    uint64_t generation = 0;  // the window's, when the view was made
    explicit operator bool() const { return bytes != nullptr; }
  };
  // An empty view when the table is not read through a window, is at its
  // end, or the file does not hold the current record in full; the record
  // operations then report why. The view is good until the next operation on
  // the table.
  RecordView RecordsAhead();
  // Changes bytes of the records of `view`, many field writes gathered into
  // one: each change puts `n` bytes at byte `at` of the view, in increasing
  // order, all inside records the table counts and may write. Changes close
  // to each other are written in one write of the stretch from the first to
  // the end of the last (the bytes in between as the window holds them: the
  // file's own). Reports nothing: it returns false when the view is not the
  // table's current one, it may not write there, or the write fails or comes
  // up short; the caller then writes each field with Poke, which says what
  // failed.
  struct ByteChange {
    size_t at;
    const uint8_t* bytes;
    size_t n;
  };
  bool WriteChanges(const RecordView& view, const std::vector<ByteChange>& changes);

 private:
  [[noreturn]] void Halt(int code);
  // LockHeader (state 2) and LockTable (state 1): the region from LockBase + 1.
  bool LockWhole(uint8_t state, uint32_t length, const char* tag, const char* what);
  bool ReadHeader(TableDescriptor& d, uint64_t fileSize);
  bool ReadDbase2Header(TableDescriptor& d, const uint8_t* prolog, uint64_t fileSize);
  bool ReadDbase3Header(TableDescriptor& d, const uint8_t* prolog);
  bool MakeFieldEntry(TableDescriptor& d, const uint8_t* slot, int layout, uint16_t& offset, FieldEntry& entry);
  void RejectNotDbase(TableDescriptor& d, bool shortName, const std::string& glue, const std::string& reason,
                      const std::string& tail);
  void TakeEndPosition(TableDescriptor& d);
  uint16_t ReadAt(TableDescriptor& d, uint64_t pos, uint8_t* out, size_t n, size_t* got, bool* seekFailed);
  uint16_t WriteAt(TableDescriptor& d, uint64_t pos, const uint8_t* data, size_t n, size_t* written);
  // The bytes of field f that lie inside the record: offset and size.
  static void FieldSpan(const TableDescriptor& d, uint8_t f, uint16_t& offset, uint16_t& size);

  Platform& platform_;
  std::array<std::unique_ptr<TableDescriptor>, kAreas + 1> areas_;  // [0] unused
  uint8_t current_ = 1;
  bool exitProcRegistered_ = false;
  std::unique_ptr<DirSearch> search_;
};

}  // namespace kestrel
