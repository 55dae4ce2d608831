// The clean-up run, written against a small UI interface so that the Win32
// program, the Qt program, the command-line program and the tests drive the
// same code. The scrub of one table is in scrub.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "kestrel/engine.h"
#include "scrub.h"
#include "table_health.h"

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
  // The table is open in the engine's current work area, but before its
  // record count is fixed (RunOptions::fixCount), when it is closed.
  // May throw (RunHalted) to stop the run with the table untouched.
  virtual void BeforeFirstWrite(const std::string& /*table*/) {}
  // With RunOptions::tableHealth, before a table's scrub: its header's
  // record count and its file disagree, and what the run does about it
  // (`fix` Done: the count is fixed on the disk).
  virtual void CountDisagrees(const std::string& /*table*/, const TableExtent& /*extent*/, CountFix /*fix*/) {}
  // With RunOptions::tableHealth, after TableDone: what the repair cannot
  // make whole in the table, when there is anything.
  virtual void NotesFound(const std::string& /*table*/, const TableNotes& /*notes*/) {}
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
  // What a crash leaves besides NULs: each table's record count measured
  // against its file (see CountDisagrees), a dry run that halts where the
  // repair would halt at a file that ends early, and the notes on values
  // the repair cannot make whole (NotesFound). The command-line program's.
  bool tableHealth = false;
  // With tableHealth: a table's record count that disagrees with its file
  // becomes the number of whole records the file holds, before its scrub
  // (after its BeforeFirstWrite), and is on the disk before the scrub starts.
  bool fixCount = false;
  // Read after each record and before each table: when set, the run closes
  // the table after the record being worked on, cleans no further table,
  // shows no summary and returns kExitInterrupted.
  const std::atomic<bool>* stop = nullptr;
};

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
