// The clean-up run and the zero-byte scrub, written against a small UI
// interface so that the Win32 program, the Qt program, the command-line
// program and the tests drive the same code.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kestrel/engine.h"

namespace dbfclean {

// The application's title: it captions the summary box.
constexpr const char* kAppTitle = "dbfclean";
constexpr const char* kSummaryFormat = "Database(s) are cleaned up! Fixed %d zeroes in %d records";
constexpr const char* kDryRunFormat = "Dry run: would fix %d zeroes in %d records";

// Exit statuses of a run that ends by an exception instead of an engine
// report: an input/output failure, and anything else.
constexpr int kExitIoError = 74;
constexpr int kExitSoftware = 70;
// A run stopped on the user's request (Ctrl+C): 128 + SIGINT, as a shell has it.
constexpr int kExitInterrupted = 130;
// A table the run refuses to hand to the engine, which would open another
// file (or none) under its path: nothing is touched (EX_NOINPUT).
constexpr int kExitWrongTable = 66;
// Another program has the table or an index file open: the engine's own
// "sharing violation", as its halting report has it for a table in use.
constexpr int kExitInUse = 32;

// Thrown by a front end's hook to end the run with its own message and exit
// status, for a failure that is the front end's and not the engine's.
class RunHalted : public std::runtime_error {
 public:
  RunHalted(const std::string& text, int status) : std::runtime_error(text), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

struct FileEntry {
  std::string name;  // file name only, no directory
  bool selected = false;
};

struct DialogResult {
  bool ok = false;
  std::string directory;           // the directory list's directory, a full path
  std::vector<FileEntry> entries;  // in list order
};

// 64-bit: a pre-allocated table of a few GB that was never written holds more
// than 2^31 NUL bytes, and the summary must show the true number.
struct Counters {
  int64_t ZeroesFixed = 0;
  int64_t RecordsFixed = 0;
};

// A field of one record that held NUL bytes: where, and how many.
struct FieldRepair {
  int32_t record = 0;
  int field = 0;       // the field's number, from 1
  std::string name;    // the field's name
  int32_t zeroes = 0;  // NUL bytes replaced (or, in a dry run, that would be)
  char type = 'C';     // the field's type
  bool lost = false;   // a date or number no more once repaired (see LostValue)
};

struct ScrubOptions {
  bool dryRun = false;  // walk and count, write nothing
  // After a record, or after a run of records read ahead together: the
  // number of the last one done.
  std::function<void(int32_t done, int32_t total)> progress;
  // Each field repaired (or found in a dry run), before it is written back.
  std::function<void(const FieldRepair&)> repaired;
  // Called once per table, just before its first write (never in a dry run or
  // for a clean table). An exception thrown here stops the table untouched.
  std::function<void()> beforeFirstWrite;
  // Read after each record: when set, the scrub closes the table and returns
  // with the records done so far.
  // (Records without NULs change nothing, so a run of them is passed whole
  // before the flag is read again.)
  const std::atomic<bool>* stop = nullptr;
  // Read as `stop` is: another program asks for the table (see
  // Platform::GiveBackRequests).
  const std::atomic<bool>* giveBack = nullptr;
  // When not negative: the walk takes the table as if its header counted
  // this many records (no more than the file holds whole). Not in a run that
  // writes: a count is changed on the disk, and the walk reads it from there.
  int64_t records = -1;
  // Each record whose deletion flag is neither blank nor '*', in record
  // order (a flag is no field, and the repair never changes it). The walk
  // looks at a window's flags before its fields, so these calls do not
  // keep their place among those of `repaired`.
  std::function<void(int32_t record)> oddFlag;
};

// Replaces every NUL byte of every field of the table at `path` by a blank,
// in place, through the engine's public operations, and counts them.
void ScrubTable(kestrel::Engine& engine, const std::string& path, Counters& counters, const ScrubOptions& options = {});

// Opens the table at `path` for reading only and reads record `record`,
// past the file's end: the engine halts with the report the run's walk
// meets there (213, "End of file found unexpectedly"). Returns when the
// record is there after all.
void ReadPastEnd(kestrel::Engine& engine, const std::string& path, int32_t record);

// What became of one index file.
enum class IndexOutcome { Erased, WouldErase, NotErased };

// What a run tells its front end as it goes, in the order it happens. Every
// method does nothing unless overridden: a front end overrides what it shows
// (the desktop programs their panel and boxes, the command-line program its
// lines, a test what it records). Table names are file names, without the
// directory.
class RunObserver {
 public:
  virtual ~RunObserver() = default;

  // A table is about to be cleaned; `text` is the panel's line for it
  // ("Cleaning NAME database...").
  virtual void TableBegun(const std::string& /*table*/, const std::string& /*text*/) {}
  // Records done of the table being scrubbed; called as they are done (after
  // a record, or after a run of records read ahead together).
  virtual void TableProgress(int32_t /*done*/, int32_t /*total*/) {}
  // Each field repaired (or found in a dry run), before it is written back;
  // called only when RunOptions::fieldRepairs is set.
  virtual void FieldRepaired(const std::string& /*table*/, const FieldRepair& /*repair*/) {}
  // A table's scrub is over, with its own counts.
  virtual void TableDone(const std::string& /*table*/, const Counters& /*counts*/) {}
  // Just before the first write to `table` (never in a dry run or for a
  // table with nothing to repair), before the run's first index file goes.
  // May throw (RunHalted) to stop the run with the table untouched.
  virtual void BeforeFirstWrite(const std::string& /*table*/) {}
  // The directory's index files, all of them, before any is erased: just
  // before the run's first write (`table` is the table about to be written)
  // or, in a run that wrote nothing, at its end (`table` empty). May throw
  // (RunHalted) to stop the run with nothing erased and nothing more written.
  virtual void SaveIndexes(const std::string& /*directory*/, const std::vector<std::string>& /*names*/,
                           const std::string& /*table*/) {}
  // Each index file erased, that would be (dry run), or that could not be.
  virtual void IndexDone(const std::string& /*name*/, IndexOutcome /*outcome*/) {}
  // After the index files at the end of a run (not a dry run), with its counts.
  virtual void IndexesDone(const std::string& /*directory*/, const Counters& /*counts*/) {}
  // Another program opened `table` while it was being cleaned (Linux): the
  // table is closed, and the run stops with RunHalted (kExitInUse) next.
  virtual void GivenBack(const std::string& /*table*/) {}
  // No further table is cleaned: after the last one, or after a stop.
  virtual void TablesDone() {}
  // The run's end: its summary, for a box captioned `caption`.
  virtual void Summary(const std::string& /*text*/, const std::string& /*caption*/) {}
  // The last word of a run that an exception ended.
  virtual void Failed(const std::string& /*text*/) {}
};

// A front end of the run: what the run asks of it besides observing it.
class RunUi : public RunObserver {
 public:
  // Shows the selection dialog modally and returns what it closed with.
  virtual DialogResult ShowSelectionDialog() = 0;
  // While tables are cleaned, and after the run.
  virtual void SetBusyCursor() {}
  virtual void SetDefaultCursor() {}
  // Lets the windows repaint before a table, and after the last.
  virtual void ProcessEvents() {}
  // The run's last step: the dialog and the panel are freed.
  virtual void FreeForms() {}
};

struct RunOptions {
  bool dryRun = false;  // nothing written, nothing erased
  // Whether the observer hears of each field repaired: naming the field
  // costs a look-up for every repair, which a front end that shows none of
  // them need not pay.
  bool fieldRepairs = false;
  // Read after each record and before each table: when set, the run closes
  // the table after the record being worked on, cleans no further table,
  // shows no summary and returns kExitInterrupted.
  const std::atomic<bool>* stop = nullptr;
};

// Directory + separator + name, by plain concatenation.
std::string JoinPath(const std::string& directory, const std::string& name);

// Why USE(path + " EXCLUSIVE") would not open the table at `path`, or "" when
// it would. The engine reads its command as "name [EXCLUSIVE] [ALIAS alias]":
// a path that holds " ALIAS ", "LINKED LIST", "VIRTUAL FILE" or a free-standing
// word EXCLUSIVE, is longer than
// the engine's 255 characters, or begins or ends with blanks would open
// another file (or none), so such a table must not be handed to the scrub.
std::string UsePathProblem(kestrel::Engine& engine, const std::string& path);

// "Database(s) are cleaned up! ..." (or the dry-run line) for the counters.
std::string SummaryText(const Counters& counters, bool dryRun);

// The whole run: dialog, scrub of each selected entry, index erase, summary.
//
// The index files of the directory go just before the run's first write (an
// index that no longer matches its table must not outlive a halt, a signal
// or a power cut after it), every erasable one; a run that writes nothing
// erases them at its end. At the end every erasable one is gone before a
// file that cannot be erased is reported ("Could not erase N files like
// DIR/*.ndx", code 5). A run stopped before its first write erases nothing.
//
// A table whose path the engine would not open as itself (see
// UsePathProblem) stops the run before any table is opened: RunHalted with
// kExitWrongTable.
//
// Returns the exit code of a normal end (0), or kExitInterrupted. Engine
// errors end the process through the engine's report; exceptions pass to the
// caller. `result` receives the counts however the run ends (a platform
// whose exit throws lets the caller go on after a halt).
int CleanUpRun(kestrel::Engine& engine, RunUi& ui, const RunOptions& options = {}, Counters* result = nullptr);

// CleanUpRun, with an exception that ends it shown through the UI: returns
// kExitIoError for an input/output failure, the status of a RunHalted, and
// kExitSoftware for anything else.
int RunProgram(kestrel::Engine& engine, RunUi& ui, const RunOptions& options = {}, Counters* result = nullptr);

}  // namespace dbfclean
